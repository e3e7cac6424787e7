#include <gtest/gtest.h>

#include "engine/BoardFit.h"
#include "engine/HeightUnits.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

TEST(HeightUnits, ReadsLevelsMetresAndPixels) {
    const std::pair<const char*, std::optional<Quantity>> cases[] = {
        {"140", Quantity{140, false}}, {"312m", Quantity{312, true}},   {" 312 m ", Quantity{312, true}},
        {"-4.5 m", Quantity{-4.5, true}}, {"20px", Quantity{20, false}}, {"1e3M", Quantity{1000, true}},
        {"m", std::nullopt},           {"12x", std::nullopt},           {"", std::nullopt},
        {"+3", std::nullopt},          {"nan m", std::nullopt},         {"3 m m", std::nullopt}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(parseQuantity(text), expected) << text;
}

TEST(HeightUnits, MetresBecomeLevelsThroughTheScale) {
    const std::optional<MapScale> s = test::mapScale(5, 0.5, 100);
    // (150 - 100) / 0.5: metres over the level's metres alone would give 300.
    EXPECT_DOUBLE_EQ(levelOfHeight({150, true}, s).value, 100);
    EXPECT_DOUBLE_EQ(levelOfHeight({37.5, false}, s).value, 37.5);
    EXPECT_EQ(levelOfHeight({312, true}, s).problem, "312 m is level 424, outside the levels 0..255");
    EXPECT_EQ(levelOfHeight({256, false}, s).problem, "level 256 is outside the levels 0..255");
    EXPECT_EQ(levelOfHeight({150, true}, std::nullopt).problem,
              "the map has no scale: a height in metres needs its metres per level");
    EXPECT_NE(levelOfHeight({150, true}, test::mapScale(5, 0, 0)).problem, "");
}

TEST(HeightUnits, MetresBecomePixelsThroughTheScale) {
    EXPECT_DOUBLE_EQ(pixelsOfLength({20, true}, test::mapScale(5, 0, 0)).value, 4);
    EXPECT_DOUBLE_EQ(pixelsOfLength({6, false}, std::nullopt).value, 6);
    EXPECT_EQ(pixelsOfLength({20, true}, test::mapScale(0, 1, 0)).problem,
              "the map has no scale: a length in metres needs its metres per pixel");
    EXPECT_EQ(pixelsOfLength({-1, false}, std::nullopt).problem, "a length cannot be negative");
    EXPECT_EQ(metresText(312.5), "312.5 m");
    EXPECT_EQ(metresText(-3), "-3 m");
}

// A 10 m grid map is 72 pixels a board plus one; 145 is one 10 m board too, 144 a 5 m one.
TEST(HeightUnits, GuessesTheGridFromTheSize) {
    EXPECT_EQ(gridPixelMetres(289, 145), 10);
    EXPECT_EQ(gridPixelMetres(289, 144), 5);
    EXPECT_EQ(gridPixelMetres(288, 288), 5);
    EXPECT_EQ(gridPixelMetres(1, 1), 5);
    EXPECT_EQ(scaleOfSamples({1000, 1510}, 10), test::mapScale(10, 2, 1000));
}

TEST(HeightUnits, FittingMovesTheScaleWithThePixels) {
    MapScale s = test::mapScale(5, 0.5, 100);
    s.crsWkt = "LOCAL_CS[\"x\"]";
    s.geoTransform = {1000, 5, 0, 2000, 0, -5};
    const MapScale halved = fittedScale(s, 576, 576, 288, 288, BoardFitMethod::Scale);
    using Grid = std::array<double, 6>;
    EXPECT_DOUBLE_EQ(halved.pixelMetres, 10);
    EXPECT_EQ(halved.geoTransform, (Grid{1000, 10, 0, 2000, 0, -10}));
    EXPECT_DOUBLE_EQ(halved.levelMetres, 0.5);
    // Crop cuts 12 pixels on the left and 5 on the top (the odd one goes right and bottom).
    const MapScale cropped = fittedScale(s, 600, 587, 576, 576, BoardFitMethod::Crop);
    EXPECT_EQ(cropped.geoTransform, (Grid{1060, 5, 0, 1975, 0, -5}));
    EXPECT_DOUBLE_EQ(cropped.pixelMetres, 5);
    EXPECT_EQ(fittedScale(s, 500, 576, 576, 576, BoardFitMethod::Pad).geoTransform, (Grid{810, 5, 0, 2000, 0, -5}));
}

}  // namespace
}  // namespace morv
