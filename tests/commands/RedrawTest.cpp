#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "commands/Redraw.h"
#include "engine/TerrainSettings.h"
#include "commands/BlurCommands.h"
#include "commands/PictureCommands.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

struct RedrawFixture : test::HostTest {
    HeightImage source;

    void open(HeightImage img, const std::string& path = "/maps/hills.bmp") {
        source = img;
        host.files[path] = img;
        host.doc.dialogFileName = path;
        host.doc.disp.replace(std::make_shared<HeightImage>(img));
        s.gstrImageFile = path;
        s.gintHighColor = 255;
        s.gintLowColor = 0;
    }
    void flatten(int percent) {
        host.ctl.flattenTicked = true;
        host.ctl.mountainsValue = percent;
        s.gsngMountainFactor = mountainFactorFromBar(percent);
    }
    int count(const std::string& prefix) const {
        return int(std::count_if(host.statuses.begin(), host.statuses.end(),
                                 [&](const std::string& x) { return x.rfind(prefix, 0) == 0; }));
    }
    int level(int x, int y) const { return fcnGrayLevel(host.doc.disp.image->pixel(x, y)); }
};

TEST_F(RedrawFixture, APlainRedrawEndsWithScanMarkAndBeep) {
    open(test::greyImage({{200, 100, 50}, {255, 10, 128}}));
    flatten(50);
    host.contourVisible = true;
    redraw(host);
    EXPECT_EQ(std::pair(level(0, 0), level(0, 1)), std::pair(164, 191));
    // The last scan runs on the result, after the pass, and leaves the opening range alone.
    const auto lastPass = std::find_if(host.statuses.rbegin(), host.statuses.rend(),
                                       [](const std::string& x) { return x.rfind("WORKING... Flattening", 0) == 0; });
    const auto lastScan = std::find_if(host.statuses.rbegin(), host.statuses.rend(),
                                       [](const std::string& x) { return x.rfind("WORKING... Getting Highest", 0) == 0; });
    EXPECT_LT(lastScan - host.statuses.rbegin(), lastPass - host.statuses.rbegin());
    EXPECT_EQ(std::pair(int(s.gintCurHighColor), int(s.gintCurLowColor)), std::pair(191, 10));
    EXPECT_EQ(std::pair(int(s.gintHighColor), int(s.gintLowColor)), std::pair(255, 0));
    EXPECT_EQ(s.gstrResultName, "/maps/hills_3x2_MF-50_B-0.bmp");
    EXPECT_EQ(host.caption, "Morv: /maps/hills_3x2_MF-50_B-0.bmp");
    EXPECT_EQ(std::tuple(host.save, host.contourVisible, host.showContours, host.beeps), std::tuple(true, false, false, 1));
    expectIdle();
    EXPECT_EQ(std::pair(host.events.front(), host.events.back()), (std::pair<std::string, std::string>("controls off", "controls on")));
}

TEST_F(RedrawFixture, CancelDuringTheValleysPassRestoresTheFile) {
    open(test::greyImage({{200, 100, 50}, {255, 10, 128}}));
    flatten(100);
    host.ctl.fillTicked = true;
    s.gdblValleyFactor = 1.0;
    s.gstrResultName = "earlier";
    host.caption = "/maps/hills.bmp";
    host.save = true;
    host.onYield = [&] {
        if (!host.statuses.empty() && host.statuses.back().find("Filling") != std::string::npos) s.gblnCancel = true;
    };
    redraw(host);
    EXPECT_EQ(*host.doc.disp.image, source);
    EXPECT_EQ(std::tuple(host.save, host.caption, s.gstrResultName), std::tuple(false, "/maps/hills.bmp", "earlier"));
    // The request arrives in the yield of the pass's second column, whose status
    // text is still written before the pass stops.
    EXPECT_EQ(count("WORKING... Filling in the Valleys by 100% - "), 2);
    expectIdle();
}

TEST_F(RedrawFixture, ScaleUpAloneScansTwiceAndStretchesToWhite) {
    open(test::greyImage({{200, 164}, {129, 10}}));
    s.gblnScaleUp = true;
    host.ctl.scaleUpTagged = true;
    redraw(host);
    EXPECT_EQ(*host.doc.disp.image, test::greyImage({{255, 191}, {129, 10}}));
    EXPECT_EQ(count("WORKING... Getting Highest & Lowest Colors 50%"), 2);
    EXPECT_EQ(count("WORKING... Raising Mountains "), 2);
    EXPECT_EQ(s.gstrResultName, "/maps/hills_2x2_MSU-0_B-0.bmp");
}

TEST_F(RedrawFixture, FlattenThenScaleUpRestoresTheTop) {
    open(test::greyImage({{228, 178}, {128, 0}}));
    flatten(50);
    s.gblnScaleUp = true;
    redraw(host);
    EXPECT_EQ(std::pair(level(0, 0), int(s.gintCurHighColor)), std::pair(255, 255));
}

TEST_F(RedrawFixture, CancelDuringTheScanEndsInTheRaisePass) {
    open(HeightImage(3, 3, 200));
    s.gblnScaleUp = true;
    host.onYield = [&] {
        if (!host.statuses.empty() && host.statuses.back().find("Highest") != std::string::npos) s.gblnCancel = true;
    };
    // The scan stops after its first column but leaves the request to Redraw,
    // which takes the cancel path after the raise pass's first column.
    redraw(host);
    EXPECT_EQ(count("WORKING... Raising Mountains "), 1);
    EXPECT_EQ(*host.doc.disp.image, source);
    EXPECT_FALSE(host.save);
}

TEST_F(RedrawFixture, MissingFileGoesToTheErrorHandler) {
    open(HeightImage(2, 2, 200));
    host.doc.dialogFileName = "/maps/gone.bmp";
    flatten(100);
    t.prompter.answers = {mb::Ignore, mb::Ignore};
    redraw(host);
    ASSERT_GE(t.prompter.shown.size(), 1u);
    EXPECT_EQ(t.prompter.shown[0].title, "Morv: RUNTIME ERROR");
    EXPECT_NE(t.prompter.shown[0].text.find("Err#53"), std::string::npos);
    EXPECT_NE(t.prompter.shown[0].text.find("Routine: |frmMain.cmdRedraw_Click"), std::string::npos);
    EXPECT_EQ(std::tuple(bool(s.gblnBusy), bool(s.gblnDrawing), int(s.gintTraceDepth)), std::tuple(false, false, 0));
}

}  // namespace
}  // namespace morv
