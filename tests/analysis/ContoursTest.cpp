#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "analysis/Contours.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

// ---------------------------------------------------------------------------
// The contour rule

/// The rule read straight off, one pixel at a time through pixel().
HeightImage referenceContours(const HeightImage& h, Colour ground) {
    HeightImage out = h;
    const int nx[6] = {0, 1, 1, 0, -1, -1}, ny[6] = {-1, 0, 1, 1, -1, 0};
    for (int y = 0; y < h.height(); ++y)
        for (int x = 0; x < h.width(); ++x) {
            if (h.pixel(x, y) != ground) continue;
            for (int k = 0; k < 6; ++k)
                if (h.pixel(x + nx[k], y + ny[k]) > ground) {
                    out.setPixel(x, y, 0);
                    break;
                }
        }
    return out;
}

constexpr Colour kGround100 = 100 * 65793;

TEST(ContourRule, MarksByTheSixNeighboursOnlyNeverTheOtherTwoDiagonals) {
    struct Case {
        int dx, dy;
        bool marked;
    };
    const Case cases[] = {{0, -1, true}, {1, 0, true},   {1, 1, true},   {0, 1, true},
                          {-1, -1, true}, {-1, 0, true}, {1, -1, false}, {-1, 1, false}};
    // Centre inside, on each border, and either side of a strip boundary of the walk.
    const std::pair<int, int> centres[] = {{1, 1}, {255, 2}, {256, 2}, {0, 2}, {299, 2}, {5, 0}, {5, 4}};
    for (bool colour : {false, true})
        for (auto [cx, cy] : centres)
            for (const Case& c : cases) {
                HeightImage img(300, 5, 100);
                if (colour) img.promoteToColour();
                img.setPixel(cx + c.dx, cy + c.dy, fcnGrayColor(101));
                const bool inside = img.pixel(cx + c.dx, cy + c.dy) >= 0;
                const HeightImage out = contourPicture(img, kGround100);
                EXPECT_EQ(out.pixel(cx, cy), c.marked && inside ? 0 : kGround100)
                    << (colour ? "colour" : "grey") << " centre " << cx << "," << cy << " higher at " << c.dx << "," << c.dy;
            }
}

TEST(ContourRule, MatchesThePlainRuleOnRandomTerrainsOfAwkwardSizes) {
    std::mt19937 rng(11);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 40}, {40, 1}, {2, 2}, {3, 7}, {257, 6}, {520, 9}};
    for (auto [w, h] : sizes)
        for (bool colour : {false, true}) {
            HeightImage img(w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) img.setPixel(x, y, fcnGrayColor(99 + int(rng() % 3)));
            if (colour) {
                img.promoteToColour();
                img.setPixel(0, 0, 0x0064FF64);  // a non-grey pixel above the ground colour
            }
            EXPECT_EQ(contourPicture(img, kGround100), referenceContours(img, kGround100))
                << w << "x" << h << (colour ? " colour" : " grey");
        }
}

TEST(ContourRule, PlateauOnTheLeftEdgeIsMarkedAlongItsRightBorderOnly) {
    const HeightImage img = test::greyImage({{100, 100, 150}, {100, 100, 150}, {100, 100, 150}});
    EXPECT_EQ(contourPicture(img, kGround100), test::greyImage({{100, 0, 150}, {100, 0, 150}, {100, 0, 150}}));
}

TEST(ContourRule, SteepSlopesAwayFromTheGroundAndLowerNeighboursAreNotMarked) {
    const HeightImage img = test::greyImage({{0, 100, 0}, {255, 20, 100}, {0, 0, 0}});
    EXPECT_EQ(contourPicture(img, kGround100), img);
    EXPECT_EQ(contourPicture(img, fcnGrayColor(7)), img) << "no pixel at the ground level";
}

TEST(ContourRule, ComparesWholeColoursNotGreyLevels) {
    // Both neighbours read as level 128 by their blue; green 200 makes one greater
    // than the ground colour of 128 and red 200 alone does not.
    HeightImage img = test::greyImage({{128, 128, 128}});
    img.setPixel(2, 0, 0x0080C800);
    img.setPixel(0, 0, 0x008000C8);
    img.setPixel(1, 0, fcnGrayColor(128));
    const HeightImage out = contourPicture(img, fcnGrayColor(128));
    EXPECT_EQ(out.pixel(1, 0), 0);
    HeightImage redOnly = img;
    redOnly.setPixel(2, 0, 0x008000C8);
    EXPECT_EQ(contourPicture(redOnly, fcnGrayColor(128)).pixel(1, 0), fcnGrayColor(128));
}

TEST(ContourRule, ReadsOnlyTheHeightPictureAndKeepsTheRestOfTheContourPicture) {
    const HeightImage height = test::greyImage({{100, 101}, {100, 100}});
    HeightImage contour(2, 2, 255);  // as if a mark were already drawn elsewhere
    contour.setPixel(1, 0, 0);
    EXPECT_TRUE(markContours(height, kGround100, contour, nullptr));
    // (0, 1) sees the higher pixel only across the upper-right diagonal.
    EXPECT_EQ(contour, test::greyImage({{0, 0}, {255, 0}}));
}

TEST(ContourRule, ReportsEachColumnAndStopsWhenAsked) {
    const HeightImage height(600, 3, 100);
    HeightImage contour = height;
    std::vector<std::int64_t> seen;
    EXPECT_FALSE(markContours(height, kGround100, contour, [&](std::int64_t v) {
        seen.push_back(v);
        return seen.size() == 300;
    }));
    ASSERT_EQ(seen.size(), 300u);
    EXPECT_EQ(seen[0], 3);
    EXPECT_EQ(seen[299], 900);
    seen.clear();
    EXPECT_TRUE(markContours(height, kGround100, contour, [&](std::int64_t v) { seen.push_back(v); return false; }));
    EXPECT_EQ(seen.size(), 600u);
}

TEST(ContourRule, RefusesAContourPictureOfAnotherSize) {
    const HeightImage height(4, 4, 100);
    HeightImage contour(4, 5, 100);
    EXPECT_THROW(markContours(height, kGround100, contour, nullptr), std::invalid_argument);
}

// ---------------------------------------------------------------------------
// Make New Contours

struct NewCoastFixture : ::testing::Test {
    test::TestApp t;
    test::RecordingHost host{t.app};
    Session& s = t.app.session;
    // Ground 100 on the left, a hill of 150 on the right: the contour is column 1.
    const HeightImage terrain = test::greyImage({{100, 100, 150}, {100, 100, 150}});
    const HeightImage savedHeight = test::greyImage({{9, 9, 9}, {9, 9, 9}});
    const HeightImage savedContour = test::greyImage({{255, 0, 255}, {255, 0, 255}});

    NewCoastFixture() {
        host.doc.disp.replace(std::make_shared<HeightImage>(terrain));
        host.doc.dispCL.replace(std::make_shared<HeightImage>(savedContour));
        s.gintGroundLevel = 100;
        s.glngGroundColor = kGround100;
        s.gstrImageFile = "/maps/Ridge.bmp";
        s.gstrContourFile = "/maps/RidgeCL.bmp";
        host.files[s.gstrImageFile] = savedHeight;
        host.files[s.gstrContourFile] = savedContour;
        host.save = true;
    }
};

TEST_F(NewCoastFixture, DrawsTheContourOverACopyAndReportsEachColumn) {
    std::vector<std::string> statusAtYield;
    host.onYield = [&] { statusAtYield.push_back(host.status); };
    cmdNewCoast_Click(host);
    EXPECT_EQ(*host.doc.dispCL.image, test::greyImage({{100, 0, 150}, {100, 0, 150}}));
    EXPECT_EQ(*host.doc.disp.image, terrain) << "the height picture is only read";
    EXPECT_EQ(host.statuses, (std::vector<std::string>{"WORKING... Creating New Contours 33%",
                                                       "WORKING... Creating New Contours 67%",
                                                       "WORKING... Creating New Contours 100%", ""}));
    // One yield after showing the copy, then one per column after its progress text.
    EXPECT_EQ(statusAtYield, (std::vector<std::string>{"", "WORKING... Creating New Contours 33%",
                                                       "WORKING... Creating New Contours 67%",
                                                       "WORKING... Creating New Contours 100%"}));
    EXPECT_EQ(host.events, (std::vector<std::string>{"controls off", "show contours", "controls on"}));
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_TRUE(host.save) << "a finished run leaves File > Save as it was";
    EXPECT_FALSE(s.gblnDrawing);
    EXPECT_FALSE(s.gblnBusy);
    EXPECT_FALSE(host.waitCursor);
    EXPECT_TRUE(t.prompter.shown.empty());
}

TEST_F(NewCoastFixture, HoldsTheInterfaceAsDrawingWhileItWorks) {
    bool drawing = false, busy = true, enabled = true;
    host.onYield = [&] {
        drawing = s.gblnDrawing;
        busy = s.gblnBusy;
        enabled = host.controlsEnabled;
    };
    cmdNewCoast_Click(host);
    EXPECT_TRUE(drawing);
    EXPECT_FALSE(busy) << "it never sets gblnBusy";
    EXPECT_FALSE(enabled);
}

TEST_F(NewCoastFixture, CancelAfterTheFirstColumnRestoresBothPicturesFromTheirFiles) {
    host.onYield = [&] {
        if (host.status.find("33%") != std::string::npos) s.gblnCancel = true;
    };
    cmdNewCoast_Click(host);
    EXPECT_EQ(*host.doc.disp.image, savedHeight);
    EXPECT_EQ(*host.doc.dispCL.image, savedContour);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{"WORKING... Creating New Contours 33%", ""}));
    EXPECT_EQ(host.events, (std::vector<std::string>{"controls off", "show contours", "load /maps/Ridge.bmp",
                                                     "load /maps/RidgeCL.bmp", "hide contours", "controls on"}));
    EXPECT_FALSE(host.showContours);
    EXPECT_FALSE(host.save) << "what is shown now matches the files";
    EXPECT_EQ(host.yields, 3) << "after showing, after the first column, after hiding";
    EXPECT_FALSE(s.gblnCancel);
    EXPECT_FALSE(s.gblnDrawing);
    EXPECT_TRUE(host.controlsEnabled);
}

TEST_F(NewCoastFixture, CancelWithoutAContourFileLeavesTheContourDisplayEmpty) {
    host.files.erase(s.gstrContourFile);
    host.onYield = [&] { s.gblnCancel = host.status != ""; };
    cmdNewCoast_Click(host);
    EXPECT_TRUE(host.doc.dispCL.image->empty());
    EXPECT_EQ(*host.doc.disp.image, savedHeight);
    EXPECT_TRUE(t.prompter.shown.empty()) << "no error for the missing contour file";
    EXPECT_FALSE(host.save);
}

TEST_F(NewCoastFixture, CancelStillReportsAMissingHeightFile) {
    host.files.erase(s.gstrImageFile);
    t.prompter.answers = {mb::Ignore};
    host.onYield = [&] { s.gblnCancel = host.status != ""; };
    cmdNewCoast_Click(host);
    ASSERT_EQ(t.prompter.shown.size(), 1u);
    EXPECT_NE(t.prompter.shown[0].text.find("Err#53"), std::string::npos);
    EXPECT_EQ(*host.doc.dispCL.image, savedContour) << "Ignore goes on with the next step";
    EXPECT_FALSE(s.gblnDrawing);
}

TEST_F(NewCoastFixture, InsideRedrawLeavesFlagsAndControlsButClearsTheCancelAndStatus) {
    s.gblnBusy = s.gblnDrawing = true;
    host.onYield = [&] { s.gblnCancel = true; };
    host.controlsEnabled = false;
    cmdNewCoast_Click(host);
    EXPECT_TRUE(s.gblnBusy);
    EXPECT_TRUE(s.gblnDrawing);
    EXPECT_FALSE(s.gblnCancel);
    EXPECT_EQ(host.events, (std::vector<std::string>{"show contours", "load /maps/Ridge.bmp", "load /maps/RidgeCL.bmp",
                                                     "hide contours"}));
    EXPECT_FALSE(host.controlsEnabled);
    EXPECT_EQ(host.status, "");
    EXPECT_FALSE(host.waitCursor);
}

TEST_F(NewCoastFixture, UnderABusyOperationItNeitherTakesNorGivesBackTheInterface) {
    s.gblnBusy = true;
    cmdNewCoast_Click(host);
    EXPECT_TRUE(s.gblnBusy);
    EXPECT_FALSE(s.gblnDrawing);
    EXPECT_EQ(host.events, (std::vector<std::string>{"show contours"}));
    EXPECT_EQ(*host.doc.dispCL.image, test::greyImage({{100, 0, 150}, {100, 0, 150}}));
}

}  // namespace
}  // namespace morv
