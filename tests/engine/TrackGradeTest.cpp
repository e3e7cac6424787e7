#include "engine/TrackGrade.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "support/TestSupport.h"

namespace morv {
namespace {

/// Ten metres a pixel, a metre a level: a level per pixel is a 10 % grade.
const MapScale kTenMetres = test::mapScale(10, 1);

TEST(TrackGrade, SteepPlaneHeldAtTheLimitExactly) {
    for (const bool rising : {true, false}) {
        SCOPED_TRACE(rising ? "rising" : "falling");
        // A 10 % plane, crossed edge to edge under a 2.5 % limit.
        HeightImage map = test::levelImage(256, 64, [&](int x, int) { return rising ? x : 255 - x; });
        const TrackProfile p = solveProfile(map, kTenMetres, {{0, 32}, {255, 32}}, {.maxGrade = 0.025, .fixes = {}, .curveMetres = 100});
        EXPECT_NEAR(p.length(), 2550, 1e-9);
        EXPECT_NEAR(p.steepestGrade(), 0.025, 1e-12);
        EXPECT_NEAR(p.meanGrade(), 0.025, 1e-12);

        // Five rows of pixels wide, no shoulder.
        const CorridorResult r = applyCorridor(map.grey(), map.width(), map.height(), p, {.widthMetres = 50, .shoulderMetres = 0});
        // The least-departure line crosses the plane half way: the pixels' 2560 m split
        // in two triangles of 1280 m by 1280 x 7.5 % metres, times 50 m of width.
        const double triangle = 0.5 * 1280 * (1280 * 0.075) * 50;
        EXPECT_NEAR(r.cutCubicMetres, triangle, triangle * 0.01);
        EXPECT_NEAR(r.fillCubicMetres, triangle, triangle * 0.01);
        EXPECT_NEAR(r.largestCutMetres, 96, 1.0);
        EXPECT_NEAR(r.highestBankMetres, 96, 1.0);
        EXPECT_EQ(r.formationPixels, 256 * 5);
        EXPECT_LE(r.storedDeviationLevels, 0.5);
        EXPECT_EQ(map.grey()[27 * 256 + 0], rising ? 0 : 255) << "a row beyond the corridor is left as it was";
        EXPECT_EQ(map.grey()[37 * 256 + 255], rising ? 255 : 0);
    }
}

/// A valley 100 levels deep whose sides rise a level a pixel, crossed from rim to rim.
HeightImage valley() {
    return test::levelImage(257, 40, [](int x, int) { return 100 + std::abs(x - 128); });
}
const std::vector<TrackPoint> kAcross{{28, 20}, {228, 20}};

TEST(TrackGrade, ValleyBetweenFixedEndsMakesAnEmbankment) {
    HeightImage map = valley();
    const TrackProfile p = solveProfile(map, kTenMetres, kAcross, {.maxGrade = 0.025, .fixes = {{0, 200}, {2000, 200}}, .curveMetres = 0});
    ASSERT_EQ(p.formation.size(), 201u);
    // From each rim the formation falls as fast as allowed: 25 levels in 100 stations.
    EXPECT_DOUBLE_EQ(p.formation.front(), 200);
    EXPECT_DOUBLE_EQ(p.formation.back(), 200);
    EXPECT_NEAR(p.formation[100], 175, 1e-9);
    EXPECT_NEAR(p.formation[50], 187.5, 1e-9);

    const CorridorResult r = applyCorridor(map.grey(), map.width(), map.height(), p, {.widthMetres = 20, .shoulderMetres = 40});
    EXPECT_NEAR(r.highestBankMetres, 75, 1e-9);
    EXPECT_EQ(r.largestCutMetres, 0);
    EXPECT_EQ(map.grey()[20 * 257 + 128], 175);
    EXPECT_EQ(map.grey()[(20 + 1) * 257 + 128], 175);
    // A quarter across the shoulder the bank has eased down 5/32 of its height.
    EXPECT_EQ(map.grey()[(20 + 2) * 257 + 128], 163);
    EXPECT_EQ(map.grey()[(20 + 5) * 257 + 128], 100) << "the shoulder's outer edge meets the terrain";
}

TEST(TrackGrade, CurvesRoundTheSagAndKeepTheFixes) {
    // A running mean over 21 stations.
    const TrackProfile p = solveProfile(valley(), kTenMetres, kAcross, {.maxGrade = 0.025, .fixes = {{2000, 200.3}, {0, 200.3}}, .curveMetres = 200});
    EXPECT_DOUBLE_EQ(p.formation.front(), 200.3);
    EXPECT_DOUBLE_EQ(p.formation.back(), 200.3);
    // The mean of |u| / 4 over u = -10..10 lifts the sag's bottom by 110 / 84 levels.
    EXPECT_NEAR(p.formation[100], 175.3 + 110.0 / 84, 1e-9);
    EXPECT_NEAR(p.formation[30], 200.3 - 7.5, 1e-9) << "straight grades away from the sag stay";
    EXPECT_LE(p.steepestGrade(), 0.025 + 1e-12);
}

TEST(TrackGrade, FixOffTheLatticeHeldWithinTheLimit) {
    const HeightImage map = test::levelImage(256, 16, [](int x, int) { return x; });
    const ProfileOptions o{.maxGrade = 0.02, .fixes = {{1000, 37.77}, {2000, 53.31}}, .curveMetres = 0};
    const TrackProfile p = solveProfile(map, kTenMetres, {{0, 8}, {250, 8}}, o);
    EXPECT_DOUBLE_EQ(p.formation[100], 37.77);
    EXPECT_DOUBLE_EQ(p.formation[200], 53.31);
    EXPECT_NEAR(p.steepestGrade(), 0.02, 1e-12);
}

TEST(TrackGrade, ImpossibleGradesBadLinesAndNoScaleRefused) {
    // The default options but for the fixes, and a grade when one is given.
    const struct {
        std::vector<TrackPoint> line;
        std::vector<FixedHeight> fixes;
        double maxGrade;
        MapScale scale;
        const char* error;
    } cases[] = {
        {kAcross, {{1500, 130}, {500, 100}}, 0, kTenMetres,
         "no grade of at most 2.5 % joins the fixed heights 100 m at 500 m and 130 m at 1500 m: that needs 3 %"},
        {kAcross, {{2500, 130}}, 0, kTenMetres, "the fixed height at 2500 m lies off the track, which is 2000 m long"},
        {kAcross, {{100, 300}}, 0, kTenMetres, "the fixed height 300 m at 100 m lies outside the map's heights (0 m to 255 m)"},
        {{{28, 20}}, {}, 0, kTenMetres, "the track has only one point; a track needs at least two"},
        {{{28, 20}, {257, 20}}, {}, 0, kTenMetres, "the track's point 2 (257, 20) lies outside the map of 257 x 40 pixels"},
        {{{28, 20}, {28, 20}}, {}, 0, kTenMetres, "the track's points all lie on one place"},
        {kAcross, {}, 1e-12, kTenMetres, "a steepest grade of 0 % is too gentle to grade this track's heights"},
        {kAcross, {}, 0, test::mapScale(0, 1), "the map has no scale: its metres per pixel are not known"},
        {kAcross, {}, 0, MapScale{}, "the map has no scale: its metres per pixel and per grey level are not known"},
    };
    const HeightImage map = valley();
    for (const auto& c : cases) {
        ProfileOptions o;
        o.fixes = c.fixes;
        if (c.maxGrade > 0) o.maxGrade = c.maxGrade;
        std::string error = "(no error)";
        try {
            solveProfile(map, c.scale, c.line, o);
        } catch (const GradeError& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.error);
    }
}

TEST(TrackGrade, BentCorridorTouchesOnlyItsBox) {
    HeightImage map = test::levelImage(120, 120, [](int, int) { return 50; });
    const TrackProfile p = solveProfile(map, kTenMetres, {{20, 20}, {80, 20}, {80, 90}}, {.maxGrade = 0.01, .fixes = {{0, 60}}, .curveMetres = 100});
    const CorridorOptions c{.widthMetres = 40, .shoulderMetres = 30};
    const PixelBox box = corridorBox(p, c, 120, 120);
    EXPECT_EQ(box, (PixelBox{15, 15, 86, 96}));
    const HeightImage before = map;
    applyCorridor(map.grey(), 120, 120, p, c);
    int outside = 0, inside = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool inBox = x >= box.x0 && x < box.x1 && y >= box.y0 && y < box.y1;
            (inBox ? inside : outside) += map.pixel(x, y) != before.pixel(x, y);
        }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, 0);
    // The bend's outer corner is the shoulder's round end: (85, 15) is 7.07 pixels off.
    EXPECT_EQ(map.grey()[15 * 120 + 85], 50);
    // From 60 m the formation falls 0.1 m a pixel: 54 m at the bend, 60 pixels on.
    EXPECT_EQ(map.grey()[20 * 120 + 82], 54) << "the formation carries round the bend";
    EXPECT_EQ(map.grey()[20 * 120 + 17], 50) << "the track ends square";
}

TEST(TrackGrade, PickedPointFallsAtItsDistanceAlong) {
    const std::vector<TrackPoint> line{{0, 0}, {30, 0}, {30, 40}};
    EXPECT_DOUBLE_EQ(distanceAlong(line, 5, {12, 3}), 60);
    EXPECT_DOUBLE_EQ(distanceAlong(line, 5, {33, 10}), 200) << "the nearer second leg";
    EXPECT_DOUBLE_EQ(distanceAlong(line, 5, {-4, 2}), 0);
    EXPECT_DOUBLE_EQ(distanceAlong(line, 5, {31, 50}), 350);
}

TEST(TrackGrade, LevelStepsFallOnTheHalfLevels) {
    TrackProfile p;
    p.line = {{0, 0}, {40, 0}};
    p.vertexDistance = {0, 400};
    p.spacing = 100;
    p.scale = kTenMetres;
    p.formation = {10.0, 10.4, 11.0, 13.0, 12.0};
    const std::vector<LevelStep> steps = levelSteps(p);
    ASSERT_EQ(steps.size(), 4u);
    const struct { double distance; int from, to; } expected[] = {{100 + 100.0 / 6, 10, 11}, {225, 11, 12}, {275, 12, 13}, {350, 13, 12}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(steps[i].distance, expected[i].distance, 1e-9) << i;
        EXPECT_EQ(steps[i].from, expected[i].from) << i;
        EXPECT_EQ(steps[i].to, expected[i].to) << i;
        EXPECT_NEAR(steps[i].at.x, expected[i].distance / 10, 1e-9) << i;
    }
}

}  // namespace
}  // namespace morv
