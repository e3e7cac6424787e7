#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "engine/LevelSite.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

std::vector<int> row(const HeightImage& img, int y, int from, int to) {
    std::vector<int> out;
    for (int x = from; x < to; ++x) out.push_back(fcnGrayLevel(img.pixel(x, y)));
    return out;
}

TEST(LevelSite, MasksTakePixelsByTheirCentres) {
    const SiteMask rect = siteMaskOf(SiteShape::rectangle(2, 1, 3, 2), 10, 10);
    // Centres with x + y < 3: rows of 3, 2 and 1 pixels; (3, 0)'s centre lies on the edge.
    const SiteMask tri = siteMaskOf({{{0, 0}, {4, 0}, {0, 4}}}, 10, 10);
    EXPECT_EQ(rect.count, 6);
    EXPECT_EQ(tri.count, 6);
    const std::tuple<const SiteMask*, int, int, bool> probes[] = {
        {&rect, 2, 1, true}, {&rect, 4, 2, true}, {&rect, 5, 1, false}, {&rect, 2, 3, false},
        {&tri, 2, 0, true},  {&tri, 3, 0, false}, {&tri, 0, 2, true},  {&tri, 0, 3, false}};
    for (const auto& [mask, x, y, in] : probes) EXPECT_EQ(mask->contains(x, y), in) << (mask == &rect ? "rectangle " : "triangle ") << x << "," << y;
    // Even-odd: a square wound twice covers every pixel twice, so none is inside.
    EXPECT_EQ(siteMaskOf({{{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}, {4, 0}, {4, 4}, {0, 4}}}, 10, 10).count, 0);
}

TEST(LevelSite, RefusesSitesThatCannotBeLevelled) {
    EXPECT_EQ(siteProblem(SiteShape::rectangle(0, 0, 4, 4), 8, 6), "");
    EXPECT_EQ(siteProblem(SiteShape::rectangle(6, 2, 3, 2), 8, 6), "the corner 9,2 lies outside the 8 x 6 map");
    EXPECT_EQ(siteProblem(SiteShape::rectangle(2, 2, 0, 3), 8, 6), "the site covers no pixel (its area is zero)");
    EXPECT_EQ(siteProblem({{{1, 1}, {5, 1}}}, 8, 6), "a site needs at least three corners");
    EXPECT_EQ(siteProblem({{{1, 1}, {5, 1}, {NAN, 3}}}, 8, 6), "the corner nan,3 lies outside the 8 x 6 map");
}

// The shoulder's levels follow 1 - smoothstep of the distance from the site's edge
// over the shoulder's width: a straight blend would give 88, 63, 38, 13.
TEST(LevelSite, ShoulderBlendsBySmoothstep) {
    HeightImage img(20, 12, 0);
    const SiteMask site = siteMaskOf(SiteShape::rectangle(0, 0, 5, 5), 20, 12);
    const LevelSiteResult r = levelSite(img, site, 99.6, 4);
    EXPECT_EQ(row(img, 2, 0, 10), (std::vector<int>{100, 100, 100, 100, 100, 96, 68, 32, 4, 0}));
    // Diagonally off the corner the distance is Euclidean: 87, not the 96 beside the edge.
    EXPECT_EQ(fcnGrayLevel(img.pixel(5, 5)), 87);
    EXPECT_EQ(r.level, 100);
    EXPECT_EQ(r.sitePixels, 25);
    EXPECT_EQ(r.cut, 0);
    EXPECT_EQ(r.fill, r.changed);
}

TEST(LevelSite, CountsCutAndFill) {
    HeightImage img = test::greyImage({{10, 30, 26, 50}});
    const LevelSiteResult r = levelSite(img, siteMaskOf(SiteShape::rectangle(0, 0, 3, 1), 4, 1), 20, 0);
    EXPECT_EQ(row(img, 0, 0, 4), (std::vector<int>{20, 20, 20, 50}));
    EXPECT_EQ(r.fill, 1);
    EXPECT_EQ(r.cut, 2);
    EXPECT_DOUBLE_EQ(r.meanFill, 10);
    EXPECT_DOUBLE_EQ(r.meanCut, 8);
    EXPECT_DOUBLE_EQ(meanLevelUnder(HeightImage(3, 3, 7), siteMaskOf(SiteShape::rectangle(0, 0, 2, 2), 3, 3)), 7);
}

// A polygon levelled on a ramp: the site is flat, the shoulder lies between the old
// ground and the new everywhere, meets the site without a step and the old ground
// without one, and nothing beyond it changes.
TEST(LevelSite, PolygonOnARampStaysWithinTheBlend) {
    const int w = 64, h = 48, level = 100;
    const double shoulder = 8;
    HeightImage img = test::levelImage(w, h, [](int x, int) { return 30 + 3 * x; });
    const HeightImage before = img;
    const SiteMask site = siteMaskOf({{{20, 10}, {41, 13}, {36, 31}, {26, 22.5}, {17, 27}}}, w, h);
    ASSERT_GT(site.count, 100);
    levelSite(img, site, level, shoulder);
    int shoulderSeen = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int old = before.grey()[y * w + x], now = img.grey()[y * w + x];
            if (site.contains(x, y)) {
                EXPECT_EQ(now, level) << x << "," << y;
                continue;
            }
            double nearest = 1e9;
            for (int sy = 0; sy < h; ++sy)
                for (int sx = 0; sx < w; ++sx)
                    if (site.contains(sx, sy)) nearest = std::min(nearest, std::hypot(sx - x, sy - y));
            const double edge = nearest - 0.5;
            if (edge >= shoulder) {
                EXPECT_EQ(now, old) << x << "," << y;
                continue;
            }
            ++shoulderSeen;
            EXPECT_GE(now, std::min(old, level)) << x << "," << y;
            EXPECT_LE(now, std::max(old, level)) << x << "," << y;
            if (nearest == 1) { EXPECT_LE(std::abs(now - level), 1) << "a step at the site's edge " << x << "," << y; }
            if (edge > shoulder - 0.5) { EXPECT_LE(std::abs(now - old), 1) << "a step at the shoulder's foot " << x << "," << y; }
        }
    EXPECT_GT(shoulderSeen, 200);
}

TEST(LevelSite, ColourPicturesAreLevelledAsGrey) {
    HeightImage img(3, 1, 0);
    img.setPixel(2, 0, 0x0000FF);  // red: colour storage
    ASSERT_FALSE(img.isGrey());
    levelSite(img, siteMaskOf(SiteShape::rectangle(0, 0, 2, 1), 3, 1), 64, 0);
    EXPECT_EQ(img.pixel(0, 0), fcnGrayColor(64));
    EXPECT_EQ(img.pixel(2, 0), 0x0000FF);
}

}  // namespace
}  // namespace morv
