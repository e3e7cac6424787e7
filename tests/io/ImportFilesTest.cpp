#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "commands/ImportCommands.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

namespace fs = std::filesystem;

/// Every name in the folder with its content.
std::map<std::string, std::string> contents(const fs::path& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out[e.path().filename().string()] = test::readFile(e.path());
    return out;
}

/// An import's result with every level and contour pixel set to grey.
ImportResult made(std::uint8_t grey, double metresPerLevel) {
    ImportResult r;
    r.map = HeightImage(8, 6, grey);
    r.contour = HeightImage(8, 6, std::uint8_t(255 - grey));
    r.report.width = 8, r.report.height = 6;
    r.report.metresPerLevel = metresPerLevel;
    return r;
}

/// Writes r with a report naming its metres per level, as the command line does.
void saveImportFiles(const ImportResult& r, const std::string& map, const std::string& report, Existing existing) {
    App app;
    app.session.gblnProgrammerMode = true;
    writeImport(app, r, map, PictureType::Bmp24, existing,
                {{report, "metresPerLevel " + std::to_string(r.report.metresPerLevel) + "\n"}});
}

/// Runs body in a child process; returns its wait status.
int inChild(const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(ImportFiles, TheMapItsContourImageAndTheReportAreOneSet) {
    test::TempDir dir;
    const std::string map = dir.file("alps.bmp"), report = dir.file("alps.json");
    EXPECT_EQ(importTargets(map, report), (std::vector<std::string>{map, dir.file("alpsCL.bmp"), report}));
    saveImportFiles(made(10, 1.5), map, report, Existing::Refuse);
    const auto before = contents(dir.path());
    ASSERT_EQ(before.size(), 3u);
    EXPECT_EQ(before.at("alps.json"), "metresPerLevel 1.500000\n");
    saveImportFiles(made(200, 2.5), map, report, Existing::Replace);
    const auto after = contents(dir.path());
    ASSERT_EQ(after.size(), 3u);
    for (const auto& [name, bytes] : after) EXPECT_NE(bytes, before.at(name)) << name;

    // Killed at each step between the commits, or interrupted by Ctrl+C there:
    // the next save finds one whole set, the old or the new.
    for (const int sig : {SIGKILL, SIGINT})
        for (std::size_t step : {1u, 2u}) {
            SCOPED_TRACE(std::to_string(sig) + " before commit " + std::to_string(step));
            saveImportFiles(made(10, 1.5), map, report, Existing::Replace);
            const int status = inChild([&] {
                setBetweenCommitsHookForTests([&](std::size_t i) {
                    if (i != step) return;
                    if (sig == SIGKILL) ::_exit(0);  // as kill -9: no handler runs
                    ::raise(sig);
                });
                saveImportFiles(made(200, 2.5), map, report, Existing::Replace);
            });
            if (sig == SIGINT) {
                EXPECT_TRUE(WIFSIGNALED(status));
                EXPECT_EQ(WTERMSIG(status), SIGINT) << "Ctrl+C still ends the process, once the set is in";
            }
            // A save refused because the set exists still repairs what the kill left.
            EXPECT_THROW(saveImportFiles(made(99, 9), map, report, Existing::Refuse), TargetExists);
            EXPECT_EQ(contents(dir.path()), sig == SIGKILL ? before : after);
        }
}

}  // namespace
}  // namespace morv
