#include <gtest/gtest.h>

#include "engine/GroundMeasure.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

HeightImage withLevels(int w, int h, std::initializer_list<int> levels) {
    HeightImage img(w, h, 0);
    int i = 0;
    for (int v : levels) img.grey()[i++] = std::uint8_t(v);
    return img;
}

TEST(GroundMeasure, SlopeFromNeighboursOnceBothScalesAreKnown) {
    // Across the middle pixel 30 levels over two pixels, down 40 over two: 25 a pixel.
    const HeightImage img = withLevels(3, 3, {0, 0, 0,  0, 50, 30,  0, 40, 0});
    const MapScale scale = test::mapScale(5, 0.5);
    // Middle row: left 0, right 30; middle column: top 0, bottom 40.
    EXPECT_DOUBLE_EQ(*slopePercentAt(img, scale, 1, 1), 25.0 * 0.5 / 5 * 100);
    // At the left edge the pixel itself and its right neighbour: 50 over one pixel.
    const HeightImage row = withLevels(3, 1, {10, 60, 60});
    EXPECT_DOUBLE_EQ(*slopePercentAt(row, scale, 0, 0), 500.0);
    EXPECT_DOUBLE_EQ(*slopePercentAt(row, scale, 1, 0), 250.0);
    // Both scales and a place on the map are needed.
    EXPECT_FALSE(slopePercentAt(row, test::mapScale(5, 0), 0, 0));
    EXPECT_FALSE(slopePercentAt(row, test::mapScale(0, 1), 0, 0));
    EXPECT_FALSE(slopePercentAt(row, test::mapScale(5, 1), 3, 0));
}

TEST(GroundMeasure, HeightsReadBetweenPixelCentres) {
    // A step between pixels 1 and 2: the point 1.0 is pixel 0's and 1's edge (0),
    // the point 2.0 is the step itself, halfway (50).
    const HeightImage img = withLevels(4, 1, {0, 0, 100, 100});
    const GroundMeasure m = measureGround(img, std::nullopt, 1.0, 0.5, 2.0, 0.5);
    EXPECT_DOUBLE_EQ(m.riseLevels, 50.0);
    EXPECT_DOUBLE_EQ(m.pixels, 1.0);
    EXPECT_FALSE(m.metres);
    EXPECT_EQ(measureText(m), "Distance: 1.0 px - Rise: 50.0 levels");
    HeightImage colour = img;
    colour.promoteToColour();
    EXPECT_DOUBLE_EQ(measureGround(colour, std::nullopt, 1.0, 0.5, 2.0, 0.5).riseLevels, 50.0);
    // Downhill from the right edge, off the map reading the edge.
    EXPECT_DOUBLE_EQ(measureGround(colour, std::nullopt, 9.0, 0.5, 1.5, 0.5).riseLevels, -100.0);
}

TEST(GroundMeasure, MetresAndGradeWithAScale) {
    const HeightImage img = withLevels(4, 1, {0, 10, 20, 30});
    const GroundMeasure m = measureGround(img, test::mapScale(5, 0.1), 0.5, 0.5, 3.5, 0.5);
    EXPECT_DOUBLE_EQ(*m.metres, 15.0);
    EXPECT_DOUBLE_EQ(*m.riseMetres, 3.0);
    EXPECT_DOUBLE_EQ(*m.gradePercent, 20.0);
    EXPECT_EQ(measureText(m), "Distance: 15 m - Rise: 3 m - Grade: 20.00%");
    // Distances known but not heights: no grade.
    const GroundMeasure flat = measureGround(img, test::mapScale(5, 0), 0.5, 0.5, 3.5, 0.5);
    EXPECT_FALSE(flat.gradePercent);
    EXPECT_EQ(measureText(flat), "Distance: 15 m - Rise: 30.0 levels");
}

}  // namespace
}  // namespace morv
