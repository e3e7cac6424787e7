#include <gtest/gtest.h>

#include "analysis/BaseLevel.h"
#include "commands/BlurCommands.h"
#include "commands/PictureCommands.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

using CalcBase = test::HostTest;

TEST_F(CalcBase, AveragesUnderPureBlackRoundingHalvesToEven) {
    struct Case {
        std::vector<int> levels;
        int expected;
    };
    const Case cases[] = {{{100, 101, 103}, 101}, {{100, 101}, 100}, {{5, 0}, 2}, {{7, 0}, 4}, {{3, 4}, 4}};
    for (const Case& c : cases) {
        // The levels under a black row; a white row above.
        const std::vector<int> black(c.levels.size(), 0), white(c.levels.size(), 255);
        ContourSum sum;
        sumUnderContours(test::greyImage({black, c.levels}), test::greyImage({white, black}), sum, nullptr);
        EXPECT_EQ(sum.average(), c.expected) << c.levels.size();
    }
}

TEST_F(CalcBase, SetsTheGroundLevelAndHidesTheContours) {
    const HeightImage contour = test::greyImage({{0, 0}, {0, 1}});
    show(test::greyImage({{100, 101}, {103, 200}}), &contour);
    host.contourVisible = true;
    calcBase(host);
    EXPECT_EQ(s.gintGroundLevel, 101);
    EXPECT_EQ(s.glngGroundColor, fcnGrayColor(101));
    EXPECT_FALSE(host.contourVisible);
    EXPECT_EQ(host.statuses.front(), "WORKING... Calculating Average Coastline Color");
    EXPECT_EQ(host.statuses[1], "WORKING... Calculating Average Coastline Color 50%");
    expectIdle();
}

TEST_F(CalcBase, AColourContourImageCountsOnlyPureBlack) {
    // Blue and green have no red at all, and a near-black is not black: only the two
    // pure black pixels count, (100 + 103) / 2 = 101.5 to even 102.
    HeightImage contour(4, 2, 255);
    contour.promoteToColour();
    const Colour row[4] = {0, 0xFF0000, 0, 0x00FF00};
    for (int x = 0; x < 4; ++x) contour.setPixel(x, 0, row[x]);
    contour.setPixel(0, 1, 0x010101);
    show(test::greyImage({{100, 200, 103, 250}, {20, 128, 128, 128}}), &contour);
    calcBase(host);
    EXPECT_EQ(s.gintGroundLevel, 102);
}

TEST_F(CalcBase, NoBlackOrNoContourImageGivesZero) {
    // Dark grey (level 1) is not a contour.
    for (const HeightImage& contour : {HeightImage(2, 2, 1), HeightImage()}) {
        show(HeightImage(2, 2, 90), &contour);
        calcBase(host);
        EXPECT_EQ(s.gintGroundLevel, 0) << contour.width();
        s.gintGroundLevel = 128;
    }
}

TEST_F(CalcBase, CancelLeavesTheLevelAndClearsTheRequest) {
    const HeightImage contour = test::greyImage({{0, 0}, {0, 1}});
    show(test::greyImage({{100, 101}, {103, 200}}), &contour);
    host.onYield = [&] { s.gblnCancel = true; };
    calcBase(host);
    EXPECT_EQ(s.gintGroundLevel, 128);
    EXPECT_FALSE(s.gblnCancel);
    EXPECT_TRUE(host.contourVisible) << "a cancel leaves the contour image shown";
    EXPECT_EQ(std::count(host.events.begin(), host.events.end(), std::string("ground 101")), 0);
}

// After a failed load answered with Ignore the displays can be empty: every
// command that walks them must simply find nothing to do.
TEST(EmptyPicture, CommandsFindNothingToDo) {
    test::TestApp t;
    test::RecordingHost host{t.app};
    host.ctl.blurValue = 8;
    findGreyRange(host);
    EXPECT_EQ(t.app.session.gintCurHighColor, 0);
    prepareBlur(host);
    applyBlur(host);
    drawNewContours(host);
    calcBase(host);
    EXPECT_EQ(t.app.session.gintGroundLevel, 0);
    EXPECT_TRUE(host.doc.disp.image->empty());
    EXPECT_TRUE(t.prompter.shown.empty()) << "no error on the way";
}

}  // namespace
}  // namespace morv
