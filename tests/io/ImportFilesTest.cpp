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
#include "io/ScaleFile.h"

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
    r.map = HeightImage(8, 6, grey), r.contour = HeightImage(8, 6, std::uint8_t(255 - grey));
    r.report.width = 8, r.report.height = 6, r.report.metresPerLevel = metresPerLevel;
    return r;
}

/// Writes r with a report naming its metres per level, as the command line does.
void saveImportFiles(const ImportResult& r, const std::string& map, const std::string& report, Existing existing) {
    App app;
    app.session.gblnProgrammerMode = true;
    writeImport(app, r, map, PictureType::Bmp24, existing,
                {{report, "metresPerLevel " + std::to_string(r.report.metresPerLevel) + "\n"}});
}

TEST(ImportFiles, TheMapItsContourImageAndTheReportAreOneSet) {
    test::TempDir dir;
    const std::string map = dir.file("alps.bmp"), report = dir.file("alps.json");
    EXPECT_EQ(importTargets(map, report), (std::vector<std::string>{map, dir.file("alpsCL.bmp"), dir.file("alps.scale.json"), report}));
    saveImportFiles(made(10, 1.5), map, report, Existing::Refuse);
    const auto before = contents(dir.path());
    ASSERT_EQ(before.size(), 4u);
    EXPECT_EQ(before.at("alps.json"), "metresPerLevel 1.500000\n");
    EXPECT_EQ(readScaleFile(map)->levelMetres, 1.5) << "the map carries its scale";
    saveImportFiles(made(200, 2.5), map, report, Existing::Replace);
    const auto after = contents(dir.path());
    ASSERT_EQ(after.size(), 4u);
    for (const auto& [name, bytes] : after) EXPECT_NE(bytes, before.at(name)) << name;

    // Killed at each step between the commits, or interrupted by Ctrl+C there:
    // the next save finds one whole set, the old or the new.
    for (const int sig : {SIGKILL, SIGINT})
        for (std::size_t step : {1u, 2u}) {
            SCOPED_TRACE(std::to_string(sig) + " before commit " + std::to_string(step));
            saveImportFiles(made(10, 1.5), map, report, Existing::Replace);
            const int status = test::inChild([&] {
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

TEST(ImportReport, LinesAndTheWarningAboveFivePercent) {
    ImportReport r;
    r.width = 720, r.height = 720, r.boardsWide = 5, r.boardsHigh = 5, r.spacing = 5, r.metresPerLevel = 0.8627;
    r.lowHeight = 4.8, r.highHeight = 224.8, r.dataLow = 4.8, r.dataHigh = 224.8, r.groundHeight = 4.8;
    r.area = {9, 46.03, 9.04, 46.05}, r.crs = "EPSG:32632", r.voidsFilled = 0, r.outsidePixels = 254400;
    r.inventedShare = 254400.0 / (720 * 720);
    EXPECT_EQ(importReportText(r),
              "size: 720 x 720 pixels, 5 x 5 boards (5 m grid, 5.00 m a pixel)\n"
              "metres per level: 0.863\n"
              "heights: 4.8 to 224.8 m (map 4.8 to 224.8 m)\n"
              "ground: 4.8 m, level 0\n"
              "area: 9.000000,46.030000,9.040000,46.050000 (EPSG:32632)\n"
              "voids filled: 0\n"
              "past the data: 254400 pixels\n"
              "not from the data: 49.07 % of the map\n");
    EXPECT_EQ(inventedTerrainWarning(r), "warning: 49.1 % of the map is not from the data (0 voids, 254400 pixels past its edge)");
    // Five percent is still quiet; a pixel more is not.
    r.outsidePixels = 0, r.voidsFilled = 25920, r.inventedShare = 25920.0 / (720 * 720);
    EXPECT_EQ(inventedTerrainWarning(r), "");
    r.voidsFilled = 25921, r.inventedShare = 25921.0 / (720 * 720);
    EXPECT_EQ(inventedTerrainWarning(r), "warning: 5.0 % of the map is not from the data (25921 voids, 0 pixels past its edge)");
}

}  // namespace
}  // namespace morv
