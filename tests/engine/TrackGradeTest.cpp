#include "engine/TrackGrade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>

namespace morv {
namespace {

/// Ten metres a pixel, a metre a level: a level per pixel is a 10 % grade.
MapScale tenMetres() {
    MapScale s;
    s.pixelMetres = 10;
    s.levelMetres = 1;
    return s;
}

HeightImage terrain(int w, int h, const std::function<int(int x, int y)>& level) {
    HeightImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.grey()[std::size_t(y) * std::size_t(w) + std::size_t(x)] = std::uint8_t(level(x, y));
    return img;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const GradeError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(TrackGrade, SteepPlaneHeldAtTheLimitExactly) {
    for (const bool rising : {true, false}) {
        SCOPED_TRACE(rising ? "rising" : "falling");
        // A 10 % plane, crossed edge to edge under a 2.5 % limit.
        HeightImage map = terrain(256, 64, [&](int x, int) { return rising ? x : 255 - x; });
        ProfileOptions o;
        o.maxGrade = 0.025;
        const TrackProfile p = solveProfile(map, tenMetres(), {{0, 32}, {255, 32}}, o);
        EXPECT_NEAR(p.length(), 2550, 1e-9);
        EXPECT_NEAR(p.steepestGrade(), 0.025, 1e-12);
        EXPECT_NEAR(p.meanGrade(), 0.025, 1e-12);

        CorridorOptions c;
        c.widthMetres = 50;  // five rows of pixels
        c.shoulderMetres = 0;
        const CorridorResult r = applyCorridor(map.grey(), map.width(), map.height(), p, c);
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
    return terrain(257, 40, [](int x, int) { return 100 + std::abs(x - 128); });
}

TEST(TrackGrade, ValleyBetweenFixedEndsMakesAnEmbankment) {
    HeightImage map = valley();
    ProfileOptions o;
    o.maxGrade = 0.025;
    o.curveMetres = 0;
    o.fixes = {{0, 200}, {2000, 200}};
    const TrackProfile p = solveProfile(map, tenMetres(), {{28, 20}, {228, 20}}, o);
    ASSERT_EQ(p.formation.size(), 201u);
    // From each rim the formation falls as fast as allowed: 25 levels in 100 stations.
    EXPECT_DOUBLE_EQ(p.formation.front(), 200);
    EXPECT_DOUBLE_EQ(p.formation.back(), 200);
    EXPECT_NEAR(p.formation[100], 175, 1e-9);
    EXPECT_NEAR(p.formation[50], 187.5, 1e-9);

    CorridorOptions c;
    c.widthMetres = 20;
    c.shoulderMetres = 40;
    const CorridorResult r = applyCorridor(map.grey(), map.width(), map.height(), p, c);
    EXPECT_NEAR(r.highestBankMetres, 75, 1e-9);
    EXPECT_EQ(r.largestCutMetres, 0);
    EXPECT_EQ(map.grey()[20 * 257 + 128], 175);
    EXPECT_EQ(map.grey()[(20 + 1) * 257 + 128], 175);
    // A quarter across the shoulder the bank has eased down 5/32 of its height.
    EXPECT_EQ(map.grey()[(20 + 2) * 257 + 128], 163);
    EXPECT_EQ(map.grey()[(20 + 5) * 257 + 128], 100) << "the shoulder's outer edge meets the terrain";
}

TEST(TrackGrade, CurvesRoundTheSagAndKeepTheFixes) {
    HeightImage map = valley();
    ProfileOptions o;
    o.maxGrade = 0.025;
    o.curveMetres = 200;  // a running mean over 21 stations
    o.fixes = {{2000, 200.3}, {0, 200.3}};
    const TrackProfile p = solveProfile(map, tenMetres(), {{28, 20}, {228, 20}}, o);
    EXPECT_DOUBLE_EQ(p.formation.front(), 200.3);
    EXPECT_DOUBLE_EQ(p.formation.back(), 200.3);
    // The mean of |u| / 4 over u = -10..10 lifts the sag's bottom by 110 / 84 levels.
    EXPECT_NEAR(p.formation[100], 175.3 + 110.0 / 84, 1e-9);
    EXPECT_NEAR(p.formation[30], 200.3 - 7.5, 1e-9) << "straight grades away from the sag stay";
    EXPECT_LE(p.steepestGrade(), 0.025 + 1e-12);
}

TEST(TrackGrade, FixOffTheLatticeHeldWithinTheLimit) {
    HeightImage map = terrain(256, 16, [](int x, int) { return x; });
    ProfileOptions o;
    o.maxGrade = 0.02;
    o.curveMetres = 0;
    o.fixes = {{1000, 37.77}, {2000, 53.31}};
    const TrackProfile p = solveProfile(map, tenMetres(), {{0, 8}, {250, 8}}, o);
    EXPECT_DOUBLE_EQ(p.formation[100], 37.77);
    EXPECT_DOUBLE_EQ(p.formation[200], 53.31);
    EXPECT_LE(p.steepestGrade(), 0.02 + 1e-12);
    EXPECT_GE(p.steepestGrade(), 0.02 - 1e-12);
}

TEST(TrackGrade, ImpossibleGradeNamesBothFixesAndTheNeed) {
    HeightImage map = valley();
    ProfileOptions o;
    o.fixes = {{1500, 130}, {500, 100}};
    EXPECT_EQ(errorOf([&] { solveProfile(map, tenMetres(), {{28, 20}, {228, 20}}, o); }),
              "no grade of at most 2.5 % joins the fixed heights 100 m at 500 m and 130 m at 1500 m: that needs 3 %");
    o.fixes = {{2500, 130}};
    EXPECT_EQ(errorOf([&] { solveProfile(map, tenMetres(), {{28, 20}, {228, 20}}, o); }),
              "the fixed height at 2500 m lies off the track, which is 2000 m long");
    o.fixes = {{100, 300}};
    EXPECT_EQ(errorOf([&] { solveProfile(map, tenMetres(), {{28, 20}, {228, 20}}, o); }),
              "the fixed height 300 m at 100 m lies outside the map's heights (0 m to 255 m)");
}

TEST(TrackGrade, BadLinesAndMissingScaleRefused) {
    HeightImage map = valley();
    const ProfileOptions o;
    EXPECT_EQ(errorOf([&] { solveProfile(map, tenMetres(), {{28, 20}}, o); }),
              "the track has only one point; a track needs at least two");
    EXPECT_EQ(errorOf([&] { solveProfile(map, tenMetres(), {{28, 20}, {257, 20}}, o); }),
              "the track's point 2 (257, 20) lies outside the map of 257 x 40 pixels");
    EXPECT_EQ(errorOf([&] { solveProfile(map, tenMetres(), {{28, 20}, {28, 20}}, o); }),
              "the track's points all lie on one place");
    MapScale heightsOnly;
    heightsOnly.levelMetres = 1;
    EXPECT_EQ(errorOf([&] { solveProfile(map, heightsOnly, {{28, 20}, {228, 20}}, o); }),
              "the map has no scale: its metres per pixel are not known");
    EXPECT_EQ(errorOf([&] { solveProfile(map, MapScale{}, {{28, 20}, {228, 20}}, o); }),
              "the map has no scale: its metres per pixel and per grey level are not known");
}

TEST(TrackGrade, BentCorridorTouchesOnlyItsBox) {
    HeightImage map = terrain(120, 120, [](int, int) { return 50; });
    ProfileOptions o;
    o.fixes = {{0, 60}};
    o.maxGrade = 0.01;
    const TrackProfile p = solveProfile(map, tenMetres(), {{20, 20}, {80, 20}, {80, 90}}, o);
    CorridorOptions c;
    c.widthMetres = 40;
    c.shoulderMetres = 30;
    const PixelBox box = corridorBox(p, c, 120, 120);
    EXPECT_EQ(box, (PixelBox{15, 15, 86, 96}));
    const HeightImage before = map;
    applyCorridor(map.grey(), 120, 120, p, c);
    int outside = 0, inside = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x) {
            const bool changed = map.pixel(x, y) != before.pixel(x, y);
            const bool inBox = x >= box.x0 && x < box.x1 && y >= box.y0 && y < box.y1;
            (inBox ? inside : outside) += changed;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, 0);
    // The bend's outer corner is the shoulder's round end: (85, 15) is 7.07 pixels off.
    EXPECT_EQ(map.grey()[15 * 120 + 85], 50);
    // From 60 m the formation falls 0.1 m a pixel: 54 m at the bend, 60 pixels on.
    EXPECT_EQ(map.grey()[20 * 120 + 82], 54) << "the formation carries round the bend";
    EXPECT_EQ(map.grey()[20 * 120 + 17], 50) << "the track ends square";
}

TEST(TrackGrade, LevelStepsFallOnTheHalfLevels) {
    TrackProfile p;
    p.line = {{0, 0}, {40, 0}};
    p.vertexDistance = {0, 400};
    p.spacing = 100;
    p.scale = tenMetres();
    p.formation = {10.0, 10.4, 11.0, 13.0, 12.0};
    const std::vector<LevelStep> steps = levelSteps(p);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_NEAR(steps[0].distance, 100 + 100.0 / 6, 1e-9);
    EXPECT_EQ(steps[0].from, 10);
    EXPECT_EQ(steps[0].to, 11);
    EXPECT_NEAR(steps[1].distance, 225, 1e-9);
    EXPECT_NEAR(steps[2].distance, 275, 1e-9);
    EXPECT_EQ(steps[2].to, 13);
    EXPECT_NEAR(steps[3].distance, 350, 1e-9);
    EXPECT_EQ(steps[3].to, 12);
    EXPECT_NEAR(steps[3].at.x, 35, 1e-9);
}

}  // namespace
}  // namespace morv
