// Starting the program from a shell: switches and the image path.
#include <gtest/gtest.h>

#include "ui/CommandLine.h"

namespace morv {
namespace {

struct Row {
    std::vector<std::string> args;
    bool log, programmer, help, version;
    std::string imageFile;
};

TEST(CommandLine, SwitchesAreWholeArgumentsInAnyCaseAndOtherArgumentsAreTheImage) {
    const std::vector<Row> table = {
        {{}, false, false, false, false, ""},
        {{"/LOG"}, true, false, false, false, ""},
        {{"/log"}, true, false, false, false, ""},
        {{"/Log", "/prgm"}, true, true, false, false, ""},
        {{"/PRGM", "/home/me/maps/Ridge.bmp"}, false, true, false, false, "/home/me/maps/Ridge.bmp"},
        {{"/home/me/logs/map.bmp"}, false, false, false, false, "/home/me/logs/map.bmp"},
        {{"/home/me/prgm/LOG.bmp", "/LOGS"}, false, false, false, false, "/LOGS"},
        {{"my maps/Hills 2.bmp"}, false, false, false, false, "my maps/Hills 2.bmp"},
        {{"--help"}, false, false, true, false, ""},
        {{"--version"}, false, false, false, true, ""},
    };
    for (const Row& row : table) {
        const CommandLine line = parseCommandLine(row.args);
        const std::string what = row.args.empty() ? "(none)" : row.args.front();
        EXPECT_EQ(line.log, row.log) << what;
        EXPECT_EQ(line.programmer, row.programmer) << what;
        EXPECT_EQ(line.help, row.help) << what;
        EXPECT_EQ(line.version, row.version) << what;
        EXPECT_EQ(line.imageFile, row.imageFile) << what;
    }
}

TEST(CommandLine, UsageNamesEverySwitch) {
    const std::string usage = commandLineUsage();
    for (const char* word : {"/LOG", "/PRGM", "IMAGE", "--help", "--version"})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace morv
