#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "analysis/Contours.h"
#include "commands/PictureCommands.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

constexpr Colour kGround = 100 * 65793;

/// The rule read straight off, one pixel at a time through pixel().
HeightImage referenceContours(const HeightImage& h) {
    HeightImage out = h;
    const int nx[6] = {0, 1, 1, 0, -1, -1}, ny[6] = {-1, 0, 1, 1, -1, 0};
    for (int y = 0; y < h.height(); ++y)
        for (int x = 0; x < h.width(); ++x)
            for (int k = 0; k < 6 && h.pixel(x, y) == kGround; ++k)
                if (h.pixel(x + nx[k], y + ny[k]) > kGround) out.setPixel(x, y, 0);
    return out;
}

TEST(ContourRule, MatchesThePlainRuleOnRandomTerrains) {
    std::mt19937 rng(11);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 40}, {40, 1}, {2, 2}, {3, 7}, {257, 6}, {520, 9}};
    for (auto [w, h] : sizes)
        for (bool colour : {false, true}) {
            HeightImage img = test::levelImage(w, h, [&](int, int) { return 99 + int(rng() % 3); });
            if (colour) img.promoteToColour(), img.setPixel(0, 0, 0x0064FF64);  // not grey, above the ground colour
            EXPECT_EQ(contourPicture(img, kGround), referenceContours(img)) << w << "x" << h << (colour ? " colour" : " grey");
        }
}

TEST(ContourRule, ComparesWholeColoursNotGreyLevels) {
    // Both read as level 128 by their blue; green 200 makes a colour greater than the
    // ground colour of grey 128, red 200 alone does not.
    for (auto [right, marked] : {std::pair{0x0080C800, true}, std::pair{0x008000C8, false}}) {
        HeightImage img = test::greyImage({{128, 128}});
        img.setPixel(1, 0, right);
        EXPECT_EQ(contourPicture(img, fcnGrayColor(128)).pixel(0, 0), marked ? 0 : fcnGrayColor(128)) << right;
    }
}

TEST(ContourRule, ReadsSameSizedHeightsReportingEachColumn) {
    const HeightImage height = test::greyImage({{100, 101}, {100, 100}});
    HeightImage contour(2, 2, 255), tall(2, 3, 100);
    contour.setPixel(1, 0, 0);  // as if a mark were already drawn there
    EXPECT_TRUE(markContours(height, kGround, contour, nullptr));
    // (0, 1) sees the higher pixel only across the upper-right diagonal.
    EXPECT_EQ(contour, test::greyImage({{0, 0}, {255, 0}}));
    EXPECT_THROW(markContours(height, kGround, tall, nullptr), std::invalid_argument);

    HeightImage wide(600, 3, 100), out = wide;
    for (std::size_t stopAfter : {300u, 0u}) {  // 0: never stop
        std::vector<std::int64_t> seen, expected;
        for (std::int64_t visited = 3; expected.size() < (stopAfter ? stopAfter : 600u); visited += 3) expected.push_back(visited);
        EXPECT_EQ(markContours(wide, kGround, out, [&](std::int64_t v) { return seen.push_back(v), seen.size() == stopAfter; }),
                  stopAfter == 0);
        EXPECT_EQ(seen, expected);
    }
}

struct NewCoastFixture : test::HostTest {
    // Ground 100 on the left, a hill of 150 on the right: the contour is column 1.
    const HeightImage terrain = test::greyImage({{100, 100, 150}, {100, 100, 150}});
    const HeightImage drawn = test::greyImage({{100, 0, 150}, {100, 0, 150}});
    const HeightImage savedHeight = test::greyImage({{9, 9, 9}, {9, 9, 9}});
    const HeightImage savedContour = test::greyImage({{255, 0, 255}, {255, 0, 255}});

    NewCoastFixture() {
        show(terrain, &savedContour);
        s.gintGroundLevel = 100, s.glngGroundColor = kGround;
        s.gstrImageFile = "/maps/Ridge.bmp", s.gstrContourFile = "/maps/RidgeCL.bmp";
        host.files[s.gstrImageFile] = savedHeight, host.files[s.gstrContourFile] = savedContour;
        host.save = true;
    }
    /// Cancels at the first yield after a progress text.
    void cancelAfterTheFirstColumn() {
        host.onYield = [this] { if (!host.status.empty()) s.gblnCancel = true; };
    }
};

std::vector<std::string> working(std::initializer_list<const char*> percents) {
    std::vector<std::string> out;
    for (std::string p : percents) out.push_back(p.empty() ? p : "WORKING... Creating New Contours " + p);
    return out;
}

TEST_F(NewCoastFixture, DrawsOverACopyMarkedAsDrawing) {
    std::vector<std::string> statusAtYield;
    bool heldAsDrawing = true;
    host.onYield = [&] {
        statusAtYield.push_back(host.status);
        heldAsDrawing = heldAsDrawing && s.gblnDrawing && !s.gblnBusy && !host.controlsEnabled;
    };
    drawNewContours(host);
    EXPECT_EQ(*host.doc.dispCL.image, drawn);
    EXPECT_EQ(*host.doc.disp.image, terrain) << "the height picture is only read";
    EXPECT_EQ(host.statuses, working({"33%", "67%", "100%", ""}));
    EXPECT_EQ(statusAtYield, working({"", "33%", "67%", "100%"})) << "after showing the copy, then after each column's text";
    EXPECT_TRUE(heldAsDrawing) << "drawing, never busy, controls off at every yield";
    EXPECT_EQ(host.events, (std::vector<std::string>{"controls off", "show contours", "controls on"}));
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_TRUE(host.save) << "a finished run leaves File > Save as it was";
    expectIdle();
    EXPECT_TRUE(t.prompter.shown.empty());
}

TEST_F(NewCoastFixture, CancelAfterFirstColumnReloadsBothPictures) {
    cancelAfterTheFirstColumn();
    drawNewContours(host);
    EXPECT_EQ(*host.doc.disp.image, savedHeight);
    EXPECT_EQ(*host.doc.dispCL.image, savedContour);
    EXPECT_EQ(host.statuses, working({"33%", ""}));
    EXPECT_EQ(host.events, (std::vector<std::string>{"controls off", "show contours", "load /maps/Ridge.bmp",
                                                     "load /maps/RidgeCL.bmp", "hide contours", "controls on"}));
    EXPECT_FALSE(host.save) << "what is shown now matches the files";
    EXPECT_EQ(host.yields, 3) << "after showing, after the first column, after hiding";
    EXPECT_FALSE(host.showContours);
    expectIdle();
}

TEST_F(NewCoastFixture, CancelReportsAMissingHeightFileOnly) {
    host.files.clear();
    t.prompter.answers = {mb::Ignore};
    cancelAfterTheFirstColumn();
    drawNewContours(host);
    ASSERT_EQ(t.prompter.shown.size(), 1u);
    EXPECT_NE(t.prompter.shown[0].text.find("Err#53"), std::string::npos);
    EXPECT_TRUE(host.doc.dispCL.image->empty()) << "Ignore goes on to the contour file, whose absence empties the display";
    EXPECT_FALSE(host.save);
    EXPECT_FALSE(s.gblnDrawing);
}

TEST_F(NewCoastFixture, InsideABusyOperationLeavesFlagsAlone) {
    s.gblnBusy = true;  // busy alone: draws without taking or giving back the interface
    drawNewContours(host);
    EXPECT_TRUE(s.gblnBusy);
    EXPECT_FALSE(s.gblnDrawing);
    EXPECT_EQ(host.events, (std::vector<std::string>{"show contours"}));
    EXPECT_EQ(*host.doc.dispCL.image, drawn);
    s.gblnDrawing = true, host.controlsEnabled = false, host.events.clear();  // inside Redraw, cancelled
    host.onYield = [&] { s.gblnCancel = true; };
    drawNewContours(host);
    EXPECT_TRUE(s.gblnBusy);
    EXPECT_TRUE(s.gblnDrawing);
    EXPECT_FALSE(s.gblnCancel) << "the cancel is cleared";
    EXPECT_FALSE(host.controlsEnabled);
    EXPECT_FALSE(host.waitCursor);
    EXPECT_EQ(host.status, "");
    EXPECT_EQ(host.events, (std::vector<std::string>{"show contours", "load /maps/Ridge.bmp", "load /maps/RidgeCL.bmp", "hide contours"}));
}

}  // namespace
}  // namespace morv
