#include <algorithm>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/cli/CliOptions.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

/// What bash's completion offers for a command line whose last word is being
/// typed, words separated by single blanks; the offers sorted, one "[word]" each.
std::string offers(const test::TempDir& dir, const std::string& program, const std::string& line) {
    const std::string script = dir.file("complete.sh");
    std::ofstream(script) << "source '" MORV_COMPLETION_DIR "/" << program << "'\n"
                          << "read -ra COMP_WORDS <<< '" << line << "'\n"
                          << "[[ '" << line << "' == *' ' ]] && COMP_WORDS+=('')\n"
                          << "COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))\n"
                          << "_" << (program == "morv" ? "morv" : "morv_cli") << "\n"
                          << "printf '[%s]\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort | tr -d '\\n'\n";
    const std::string cmd = "cd '" + dir.path().string() + "/maps' && bash '" + script + "'";
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    char buf[1024];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0) << line;
    return out;
}

TEST(BashCompletion, OffersCommandsOptionsAndMaps) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("maps/done"));
    for (const char* f : {"Peak.tif", "Ridge.bmp", "RidgeCL.bmp", "Vale Low.JPEG", "notes.txt"}) std::ofstream(dir.file("maps/") + f);
    const std::pair<std::string, std::string> cases[] = {
        {"morv-cli ", "[--help][--version][-h][grade][import][info][level][redraw][scale]"},
        {"morv-cli grade --ma", "[--max-grade]"}, {"morv-cli grade Ridge.bmp --width ", "[]"},
        {"morv-cli grade Ridge.bmp --track n", "[notes.txt]"}, {"morv-cli level Ridge.bmp --sh", "[--shoulder]"},
        {"morv-cli re", "[redraw]"}, {"morv-cli redraw --fl", "[--flatten]"}, {"morv-cli redraw --o", "[--outdir][--output]"},
        {"morv-cli info --j", "[--jobs][--json]"}, {"morv-cli info --fl", "[]"}, {"morv-cli redraw R", "[Ridge.bmp][RidgeCL.bmp]"},
        {"morv-cli redraw Ridge.bmp ", "[Peak.tif][Ridge.bmp][RidgeCL.bmp][Vale Low.JPEG][done]"},
        {"morv-cli redraw Ridge.bmp --fit ", "[crop][pad][scale]"},
        {"morv-cli import ", "[Peak.tif][Ridge.bmp][RidgeCL.bmp][Vale Low.JPEG][done][notes.txt]"},
        {"morv-cli import --re", "[--report][--resample]"}, {"morv-cli redraw Ridge.bmp --outdir ", "[done]"},
        {"morv-cli redraw Ridge.bmp --flatten ", "[]"}, {"morv-cli redraw -- --", "[]"}, {"morv-cli redraw -o n", "[notes.txt]"},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(offers(dir, "morv-cli", line), expected) << line;
    EXPECT_EQ(offers(dir, "morv", "morv "), "[--help][--version][/LOG][/PRGM][Peak.tif][Ridge.bmp][RidgeCL.bmp][Vale Low.JPEG][done]");
    EXPECT_EQ(offers(dir, "morv", "morv /P"), "[/PRGM]");
}

// An option added to the command line without its word in the completion script
// would never be offered.
TEST(BashCompletion, KnowsEveryOptionOfEachCommand) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("maps"));
    for (const cli::OptionRow& row : cli::optionTable()) {
        for (const auto& [bit, command] :
             {std::pair{cli::kRedraw, "redraw"}, std::pair{cli::kInfo, "info"}, std::pair{cli::kImport, "import"},
              std::pair{cli::kScale, "scale"}, std::pair{cli::kLevel, "level"}}) {
            // A name the import shares with redraw has a row for each; the import
            // takes -h, --help before reading its options.
            const bool shared = std::any_of(cli::optionTable().begin(), cli::optionTable().end(), [&](const cli::OptionRow& other) {
                return (other.commands & bit) && other.longName == std::string(row.longName);
            }) || (bit == cli::kImport && row.longName == std::string("--help"));
            for (const char* name : {row.shortName, row.longName}) {
                if (!name) continue;
                const std::string offered = offers(dir, "morv-cli", std::string("morv-cli ") + command + " " + name);
                EXPECT_EQ(offered.find(std::string("[") + name + "]") != std::string::npos, (row.commands & bit) != 0 || shared)
                    << command << " " << name << ": " << offered;
            }
        }
    }
}

}  // namespace
}  // namespace morv
