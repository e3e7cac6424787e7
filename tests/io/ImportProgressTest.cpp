#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "commands/ImportCommands.h"
#include "support/DemFiles.h"
#include "support/TestSupport.h"

// Options are written with designated initializers, the fields left out at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morv {
namespace {

/// 288 x 288 samples of 5 m, flat at 100 m with a hill in one corner and a hole
/// of 10 x 12 samples without data: every step of an import has work to do.
std::string holedDem(const test::TempDir& dir) {
    const std::string path = dir.file("holes.tif");
    test::writeDem(path, test::dem(
                             [](double x, double y) {
                                 const int px = int((x - test::kDemX0) / 5), py = int((test::kDemY0 - y) / 5);
                                 if (px >= 50 && px < 60 && py >= 40 && py < 52) return -32768.0;
                                 return px > 250 && py > 250 ? 355.0 : 100.0;
                             },
                             [](test::Dem& d) { d.pixelX = 5, d.pixelY = -5, d.width = 288, d.height = 288, d.noData = -32768; }));
    return path;
}

ImportOptions optionsFor(const std::string& path) { return {.inputs = {path}, .crs = "EPSG:32632"}; }

TEST(ImportProgress, RisesStepByStepToAHundredOnTheCallingThread) {
    test::TempDir dir;
    std::vector<int> seen;
    bool elsewhere = false;
    const auto caller = std::this_thread::get_id();
    importElevation(optionsFor(holedDem(dir)), [&](int percent) {
        seen.push_back(percent);
        elsewhere |= std::this_thread::get_id() != caller;
        return false;
    });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "each figure once";
    // After the warp (which reports as often as its threads get round to it) each
    // step reports within its own share.
    for (auto [low, high] : {std::pair{81, 87}, {89, 93}, {95, 99}})
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](int p) { return p >= low && p <= high; }))
            << low << ".." << high;
    EXPECT_FALSE(elsewhere);
}

TEST(ImportProgress, AStopAtAnyStepEndsTheImportThere) {
    test::TempDir dir;
    const std::string path = holedDem(dir);
    // At the warp's start, filling the voids, mapping the levels and drawing the
    // contours: the step asked to stop is the one that stops.
    for (auto [stopAt, stepEnd] : {std::pair{0, 0}, {82, 87}, {90, 93}, {96, 100}}) {
        SCOPED_TRACE(stopAt);
        int callsAfterStop = 0, stoppedAt = -1;
        EXPECT_THROW(importElevation(optionsFor(path),
                                     [&](int percent) {
                                         callsAfterStop += stoppedAt >= 0;
                                         if (stoppedAt < 0 && percent >= stopAt) stoppedAt = percent;
                                         return stoppedAt >= 0;
                                     }),
                     ImportCancelled);
        EXPECT_GE(stoppedAt, stopAt);
        EXPECT_LE(stoppedAt, stepEnd);
        EXPECT_EQ(callsAfterStop, 0);
    }
}

}  // namespace
}  // namespace morv
