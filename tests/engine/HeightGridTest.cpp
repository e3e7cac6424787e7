#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/HeightGrid.h"

namespace morv {
namespace {

/// A 60 x 40 plane rising 2 m a pixel east and 3 m a pixel south from 100 m,
/// with a 16 x 12 hole at (20, 14).
HeightGrid holedPlane() {
    HeightGrid g{60, 40, std::vector<float>(60 * 40)};
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const bool hole = x >= 20 && x < 36 && y >= 14 && y < 26;
            g.metres[std::size_t(y * 60 + x)] = hole ? kVoidHeight : float(100 + 2 * x + 3 * y);
        }
    return g;
}

TEST(HeightGrid, FillsAHoleInAPlaneCloseToThePlane) {
    HeightGrid g = holedPlane();
    ASSERT_EQ(fillVoids(g), std::optional<std::int64_t>(16 * 12));
    double worst = 0;
    for (int y = 14; y < 26; ++y)
        for (int x = 20; x < 36; ++x) {
            const float v = g.metres[std::size_t(y * 60 + x)];
            // Within the heights around the hole, and near the plane itself: a fill
            // of means spreading ring by ring bends well away from it.
            EXPECT_GE(v, 100 + 2 * 19 + 3 * 13) << x << "," << y;
            EXPECT_LE(v, 100 + 2 * 36 + 3 * 26) << x << "," << y;
            worst = std::max(worst, std::abs(double(v) - (100 + 2 * x + 3 * y)));
        }
    EXPECT_LT(worst, 3.0);
    // The known heights stay as they were.
    EXPECT_EQ(g.metres[0], 100.0f);
    EXPECT_EQ(g.metres[std::size_t(13 * 60 + 20)], float(100 + 40 + 39));
}

TEST(HeightGrid, FillStopsWhenAskedAndSkipsGridsWithoutData) {
    HeightGrid g = holedPlane();
    int calls = 0;
    EXPECT_FALSE(fillVoids(g, [&](double) { return ++calls == 2; }).has_value());
    EXPECT_EQ(calls, 2);
    HeightGrid empty{3, 2, std::vector<float>(6, kVoidHeight)};
    EXPECT_EQ(fillVoids(empty), std::optional<std::int64_t>(0));
    EXPECT_EQ(empty.metres[5], kVoidHeight);
}

TEST(HeightGrid, LevelsRoundToNearestWithinTheRange) {
    const struct {
        double metres, low, high;
        int level;
    } cases[] = {
        {0, 0, 255, 0},    {127.5, 0, 255, 128}, {127.49, 0, 255, 127}, {300, 0, 255, 255},
        {-5, 0, 255, 0},   {150, 100, 200, 128}, {100, 100, 100, 0},    {-10, -20, 31, 50},
    };
    for (const auto& c : cases)
        EXPECT_EQ(levelOfHeight(c.metres, c.low, c.high), c.level) << c.metres << " in " << c.low << ".." << c.high;
}

}  // namespace
}  // namespace morv
