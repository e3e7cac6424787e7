#include <gtest/gtest.h>

#include "analysis/ColourRange.h"
#include "commands/PictureCommands.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

using ScanFixture = test::HostTest;

TEST_F(ScanFixture, FindsExtremesOfGreyAndColourPictures) {
    // Wider than one strip of columns, so strips and the per-column fold both matter.
    HeightImage wide(700, 3, 128), colour(2, 1);
    wide.setPixel(650, 2, fcnGrayColor(200));
    wide.setPixel(3, 1, fcnGrayColor(20));
    colour.setPixel(0, 0, 255);               // pure red: level 0
    colour.setPixel(1, 0, 0x0A0000 | 0xFF);   // blue 10
    const std::tuple<HeightImage, int, int> cases[] = {
        {test::greyImage({{128, 0, 7}, {255, 128, 9}}), 255, 0}, {wide, 200, 20}, {HeightImage(5, 5, 128), 128, 128}, {colour, 10, 0}};
    for (const auto& [img, high, low] : cases) {
        host.events.clear();
        show(img);
        findGreyRange(host);
        EXPECT_EQ(std::pair(int(s.gintCurHighColor), int(s.gintCurLowColor)), std::pair(high, low)) << img.width();
        EXPECT_EQ(host.events, (std::vector<std::string>{"controls off", "controls on"}));
        expectIdle();
    }
    EXPECT_EQ(s.gintHighColor, 0) << "only a scan for opening stores the opening range";
}

TEST_F(ScanFixture, ColumnProgressRoundsHalvesToEvenInTextAndFigure) {
    show(HeightImage(8, 2, 90));  // each column is 12.5 %
    findGreyRange(host);
    const std::vector<int> expected = {12, 25, 38, 50, 62, 75, 88, 100};
    EXPECT_EQ(host.percents, expected);
    ASSERT_EQ(host.statuses.size(), expected.size() + 1);
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(host.statuses[i], "WORKING... Getting Highest & Lowest Colors " + std::to_string(expected[i]) + "%");
}

TEST_F(ScanFixture, CancelStopsAfterTheFirstColumnUnlessOpening) {
    show(test::greyImage({{100, 0, 7}, {150, 255, 9}}));
    host.onYield = [&] { s.gblnCancel = true; };
    findGreyRange(host);
    EXPECT_EQ(s.gintCurHighColor, 150);
    EXPECT_EQ(s.gintCurLowColor, 100);
    expectIdle();
    s.gblnOpening = true;  // opening ignores the cancel and stores the opening range
    findGreyRange(host);
    EXPECT_EQ(s.gintHighColor, 255);
    EXPECT_EQ(s.gintLowColor, 0);
}

TEST_F(ScanFixture, InsideAnotherOperationLeavesAllAlone) {
    show(test::greyImage({{1, 2}}));
    s.gblnBusy = s.gblnDrawing = true;
    s.gblnCancel = true;
    findGreyRange(host);
    EXPECT_TRUE(s.gblnBusy);
    EXPECT_TRUE(s.gblnCancel) << "the owner clears a cancel request";
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(s.gintCurHighColor, 1) << "stopped after the first column";
}

}  // namespace
}  // namespace morv
