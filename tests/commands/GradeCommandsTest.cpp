#include "commands/GradeCommands.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace morv {
namespace {

struct GradeTrack : test::HostTest {
    GradeRequest request;
    GradeTrack() {
        // A flat map at level 50 with a track that must climb from 60 m.
        show(HeightImage(100, 40, 50));
        host.doc.dispCL.replace(std::make_shared<HeightImage>(100, 40, 255));
        host.doc.scale = MapScale();
        host.doc.scale->pixelMetres = 10;
        host.doc.scale->levelMetres = 1;
        request.line = {{10, 20}, {90, 20}};
        request.profile.fixes = {{0, 60}};
        request.profile.maxGrade = 0.01;
        request.corridor = {20, 0};
    }
    int level(int x, int y) const { return fcnGrayLevel(host.doc.disp.image->pixel(x, y)); }
};

TEST_F(GradeTrack, GradesTheOpenMapAndMarksItUnsaved) {
    const auto before = host.doc.disp.image;
    const std::optional<GradeOutcome> done = gradeTrack(host, request);
    ASSERT_TRUE(done);
    EXPECT_NE(host.doc.disp.image, before) << "the graded map replaces the picture, for the history to compare";
    // The last beyond the formation's half width.
    EXPECT_EQ((std::vector{level(10, 20), level(30, 21), level(30, 23)}), (std::vector{60, 58, 50}));
    EXPECT_EQ(before->pixel(10, 20), fcnGrayColor(50)) << "the old picture stays whole";
    EXPECT_EQ(std::tuple(host.save, host.refreshes, t.prompter.shown.size()), std::tuple(true, 1, 0u));
    EXPECT_EQ(fcnGrayLevel(host.doc.dispCL.image->pixel(10, 20)), 255) << "contours only when asked";
}

TEST_F(GradeTrack, RedrawsTheContoursWhenAsked) {
    request.redrawContours = true;
    s.glngGroundColor = fcnGrayColor(50);
    ASSERT_TRUE(gradeTrack(host, request));
    EXPECT_EQ(host.doc.dispCL.image->pixel(50, 22), 0) << "a contour line along the bank's foot";
    EXPECT_EQ(host.doc.dispCL.image->pixel(50, 25), fcnGrayColor(50)) << "ground away from the bank";
    EXPECT_EQ(host.doc.dispCL.image->pixel(50, 20), fcnGrayColor(level(50, 20)));
}

TEST_F(GradeTrack, RefusalShowsOneBoxAndChangesNothing) {
    request.profile.fixes = {{0, 60}, {100, 70}};
    const auto before = host.doc.disp.image;
    t.prompter.answers = {mb::OK, mb::OK};
    EXPECT_FALSE(gradeTrack(host, request));
    ASSERT_EQ(t.prompter.shown.size(), 1u);
    EXPECT_EQ(t.prompter.shown[0].text,
              "No grade of at most 1 % joins the fixed heights 60 m at 0 m and 70 m at 100 m: that needs 10 %.");
    EXPECT_EQ(t.prompter.shown[0].title, "Grade Track");
    EXPECT_EQ(host.doc.disp.image, before);
    EXPECT_EQ(std::pair(host.save, host.waitCursor), std::pair(false, false));

    host.doc.scale.reset();
    EXPECT_FALSE(gradeTrack(host, {}));
    EXPECT_EQ(t.prompter.shown.back().text,
              "The map has no scale: its metres per pixel and per grey level are not known.");
}

}  // namespace
}  // namespace morv
