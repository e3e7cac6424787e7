#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/CliOptions.h"

namespace morv {
namespace {

// Argument lists the fuzzer was seeded with or once tripped over (split at NUL
// bytes) keep being read without a crash and with one-line refusals.
TEST(CliCorpus, EveryKeptInputIsReadSafely) {
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MORV_CLI_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::vector<std::string> args(1);
        for (char c : ss.str()) {
            if (c == '\0') args.emplace_back();
            else args.back().push_back(c);
        }
        const cli::Parsed p = cli::parseArguments(args);
        if (!p.options) {
            EXPECT_EQ(p.error.find('\n'), std::string::npos) << entry.path();
        }
        ++files;
    }
    EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace morv
