#include "engine/BoardFit.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/TestSupport.h"

namespace morv {
namespace {

int level(const HeightImage& img, int x, int y) { return fcnGrayLevel(img.pixel(x, y)); }

// The board sides and tags are checked where they are used: the fits below and
// the command line's fitted names.
TEST(BoardFit, LayoutsAreReadStrictly) {
    EXPECT_EQ(parseBoardLayout("4x3"), (std::pair{4, 3}));
    for (const char* bad : {"0x3", "4x", "x3", "4*3", "228x1", "4x3x2"}) EXPECT_FALSE(parseBoardLayout(bad)) << bad;
}

TEST(BoardFit, EachMethodGivesWholeBoardsOnEachGrid) {
    struct Case { BoardGrid grid; int bw, bh; BoardFitMethod method; int inW, inH, outW, outH; };
    const Case cases[] = {
        {BoardGrid::FiveMetre, 4, 3, BoardFitMethod::Crop, 600, 500, 576, 432},
        {BoardGrid::FiveMetre, 2, 2, BoardFitMethod::Pad, 250, 280, 288, 288},
        {BoardGrid::FiveMetre, 3, 2, BoardFitMethod::Scale, 500, 300, 432, 288},
        {BoardGrid::TenMetre, 4, 3, BoardFitMethod::Crop, 300, 230, 289, 217},
        {BoardGrid::TenMetre, 2, 2, BoardFitMethod::Pad, 100, 140, 145, 145},
        {BoardGrid::TenMetre, 3, 1, BoardFitMethod::Scale, 1000, 50, 217, 73},
    };
    for (const auto& c : cases) {
        const int w = boardSide(c.grid, c.bw), h = boardSide(c.grid, c.bh);
        ASSERT_EQ(std::pair(w, h), std::pair(c.outW, c.outH));
        const HeightImage in = test::patternImage(c.inW, c.inH);
        const HeightImage out = fitToSize(in, w, h, c.method, fcnGrayColor(77));
        EXPECT_EQ(std::pair(out.width(), out.height()), std::pair(c.outW, c.outH));
        if (c.method == BoardFitMethod::Crop) {
            // The middle is kept: an odd pixel more goes from the right and bottom.
            const int dx = (c.inW - w) / 2, dy = (c.inH - h) / 2;
            EXPECT_EQ(level(out, 0, 0), level(in, dx, dy));
            EXPECT_EQ(level(out, w - 1, h - 1), level(in, dx + w - 1, dy + h - 1));
        } else if (c.method == BoardFitMethod::Pad) {
            const int dx = (w - c.inW) / 2, dy = (h - c.inH) / 2;
            EXPECT_EQ(level(out, 0, 0), 77);
            EXPECT_EQ(level(out, w - 1, h - 1), 77);
            EXPECT_EQ(level(out, dx, dy), level(in, 0, 0));
            EXPECT_EQ(level(out, dx + c.inW - 1, dy + c.inH - 1), level(in, c.inW - 1, c.inH - 1));
            EXPECT_EQ(level(out, dx - 1, dy), 77);
        }
    }
}

TEST(BoardFit, ScalingAveragesDownAndInterpolatesUp) {
    // Down: whole and part pixels averaged; 25.5 rounds to 26.
    const auto scaled = [](const HeightImage& img, int w, int h) { return fitToSize(img, w, h, BoardFitMethod::Scale, 0); };
    EXPECT_EQ(scaled(test::greyImage({{0, 10, 20, 31}}), 2, 1), test::greyImage({{5, 26}}));
    EXPECT_EQ(scaled(test::greyImage({{0, 30, 90}}), 2, 1), test::greyImage({{10, 70}}));
    // Up: Catmull-Rom (linear would give 64 and 191), overshoot clamped at the ends.
    EXPECT_EQ(scaled(test::greyImage({{0, 255}}), 4, 1), test::greyImage({{0, 52, 203, 255}}));
    // Each direction on its own: shrink across, grow down.
    EXPECT_EQ(scaled(test::greyImage({{0, 10, 20, 31}, {0, 10, 20, 31}}), 2, 3), test::greyImage({{5, 26}, {5, 26}, {5, 26}}));
}

TEST(BoardFit, ColourPicturesFitChannelByChannel) {
    HeightImage img(2, 1);
    img.setPixel(0, 0, 0x0000FF);
    img.setPixel(1, 0, 0x00FF00);
    const HeightImage out = fitToSize(img, 1, 1, BoardFitMethod::Scale, 0);
    EXPECT_EQ(out.pixel(0, 0), 0x008080);
    const HeightImage padded = fitToSize(img, 4, 1, BoardFitMethod::Pad, fcnGrayColor(9));
    EXPECT_EQ(padded.pixel(0, 0), fcnGrayColor(9));
    EXPECT_EQ(padded.pixel(1, 0), 0x0000FF);
}

TEST(BoardFit, RefusesToCropUpOrPadDown) {
    const HeightImage img = test::patternImage(100, 100);
    EXPECT_THROW(fitToSize(img, 144, 73, BoardFitMethod::Crop, 0), std::invalid_argument);
    EXPECT_THROW(fitToSize(img, 73, 144, BoardFitMethod::Pad, 0), std::invalid_argument);
}

}  // namespace
}  // namespace morv
