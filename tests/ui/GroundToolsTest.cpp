// The ground tools worked as a user works them: the map's scale typed into its
// dialog, sites dragged or clicked on the picture, a track clicked and graded.
#include <QDialog>
#include <QDoubleSpinBox>
#include <QImage>

#include "io/Files.h"
#include "ui/FrmOverWrite.h"
#include "io/ScaleFile.h"
#include "ui/FrmGradeTrack.h"
#include "ui/FrmLevelSite.h"
#include "ui/FrmMapScale.h"
#include "ui/MapOverlay.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class GroundTools : public UiTest {
protected:
    GroundTools() { activate(); }
    void tool(Qt::Key letter) { choose(Qt::Key_T, "mnuTools", letter); }
    /// Ctrl+Z, as a user takes a step back once the dialog has gone.
    void undo() {
        activate();
        press(Qt::Key_Z, Qt::ControlModifier);
    }
    /// Opens a ramp whose level is its column (0..255 across); with a scale file beside it when scaled.
    void openRampMap(bool scaled) {
        const std::string path = writePair("ramp.bmp", rampImage(256, 32));
        if (scaled) {
            MapScale scale;
            scale.pixelMetres = 5;
            scale.levelMetres = 0.5;
            scale.baseMetres = 100;
            writeFilesSafely({scaleFileFor(path, scale)});
        }
        open(path);
        ASSERT_NE(picture(), nullptr);
    }
    int level(int x, int y) const { return fcnGrayLevel(main->document().disp.image->pixel(x, y)); }
    QWidget* disp() const { return picture()->picDisp(); }
    /// The picture and the tools' layer over it as the screen shows them.
    QImage shown() const { return picture()->overlay()->parentWidget()->grab().toImage(); }
    void drag(QPoint from, QPoint to) {
        QTest::mousePress(disp(), Qt::LeftButton, {}, from);
        QTest::mouseMove(disp(), (from + to) / 2);
        QTest::mouseMove(disp(), to);
        QTest::mouseRelease(disp(), Qt::LeftButton, {}, to);
    }
    void levelSite(const Keys& keys) {
        main->showLevelSiteModally = [&](FrmLevelSite& d) { return drive(d, keys); };
        tool(Qt::Key_S);
    }
    std::string undoText() const { return action("mnuEditUndo")->text().toStdString(); }
};

TEST_F(GroundTools, MapScaleGivesMetresToReadoutAndGroundBox) {
    EXPECT_FALSE(action("mnuViewMapScale")->isEnabled());
    openRampMap(false);
    std::string range;
    main->showMapScaleModally = [&](FrmMapScale& d) {
        return drive(d, [&](QDialog& d) {
            retype(d, "5");
            press(d, Qt::Key_Tab);
            retype(d, "0.5");
            press(d, Qt::Key_Tab);
            retype(d, "abc");
            // Not a number: Enter does nothing until it is one.
            press(d, Qt::Key_Return);
            EXPECT_TRUE(d.isVisible());
            retype(d, "100");
            range = in<QLabel>(d, "lblRange")->text().toStdString();
            press(d, Qt::Key_Return);
        });
    };
    choose(Qt::Key_W, "mnuView", Qt::Key_M);
    EXPECT_EQ(range, "Levels 0..255 stand for 100 m to 227.5 m.");
    ASSERT_TRUE(main->document().scale);
    EXPECT_EQ(main->document().scale->pixelMetres, 5);
    EXPECT_EQ(main->document().scale->levelMetres, 0.5);
    EXPECT_EQ(main->document().scale->baseMetres, 100);
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());

    // Level 40 is 120 m; one level a pixel is 0.5 m in 5 m.
    moveOver(disp(), 40, 3);
    EXPECT_TRUE(statusText().ends_with(" - C: 40 - HC: " + std::to_string(s.gintCurHighColor) + " - LC: " +
                                       std::to_string(s.gintCurLowColor) + " - H: 120 m - Slope: 10.0%"))
        << statusText();

    typeGroundLevel("150 m");
    EXPECT_EQ(child<QScrollBar>("vsbGroundLevel")->value(), 100);
    EXPECT_EQ(child<QLineEdit>("txtGroundLevel")->text(), "100");

    // The scale is a step of the history like any other.
    EXPECT_EQ(action("mnuEditUndo")->text(), "&Undo Map Scale");
    undo();
    EXPECT_FALSE(main->document().scale);
    press(Qt::Key_Y, Qt::ControlModifier);
    ASSERT_TRUE(main->document().scale);
    EXPECT_EQ(main->document().scale->levelMetres, 0.5);
}

TEST_F(GroundTools, AScaleCorrectedOrTakenAwayIsSaved) {
    openRampMap(true);
    const auto mapScale = [&](const char* levelMetres) {
        main->showMapScaleModally = [&](FrmMapScale& d) {
            return drive(d, [&](QDialog& d) {
                EXPECT_EQ(in<QLineEdit>(d, "txtPixelMetres")->text(), "5");  // the scale as it stands
                if (!*levelMetres) retype(d, "");
                press(d, Qt::Key_Tab);
                retype(d, levelMetres);
                press(d, Qt::Key_Return);
            });
        };
        choose(Qt::Key_W, "mnuView", Qt::Key_M);
    };
    // Heights a level of 0.25 m: level 40 is now 110 m.
    mapScale("0.25");
    moveOver(disp(), 40, 3);
    EXPECT_TRUE(statusText().ends_with(" - H: 110 m - Slope: 5.0%")) << statusText();
    main->showOverWriteModally = [](FrmOverWrite& d) { in<QPushButton>(d, "Command1")->click(); };
    const std::string path = dir.file("ramp.bmp");
    action("mnuFileSave")->trigger();
    ASSERT_TRUE(readScaleFile(path));
    EXPECT_EQ(readScaleFile(path)->levelMetres, 0.25);

    // Both metres emptied: no scale, and Save takes the scale file away.
    mapScale("");
    EXPECT_FALSE(main->document().scale);
    moveOver(disp(), 40, 3);
    EXPECT_TRUE(statusText().ends_with(" - LC: " + std::to_string(s.gintCurLowColor))) << statusText();
    action("mnuFileSave")->trigger();
    EXPECT_FALSE(readScaleFile(path));
}

TEST_F(GroundTools, LevelsADraggedRectangleAndUndoesIt) {
    openRampMap(true);
    tool(Qt::Key_R);
    drag({10, 8}, {21, 16});
    // The outline shows on screen; the map itself is untouched.
    const QRgb edge = shown().pixel(15, 8);
    EXPECT_GT(qRed(edge), 200);
    EXPECT_LT(qBlue(edge), 80);
    EXPECT_EQ(level(15, 8), 15);

    std::string offered;
    levelSite([&](QDialog& d) {
        // Offered: the mean under the site, columns 10..20, in metres.
        offered = in<QLineEdit>(d, "txtHeight")->text().toStdString();
        retype(d, "120 m");
        press(d, Qt::Key_Return);
    });
    EXPECT_EQ(offered, "107.5 m");
    EXPECT_EQ(level(10, 8), 40);
    EXPECT_EQ(level(20, 15), 40);
    EXPECT_EQ(level(21, 15), 21);
    EXPECT_EQ(level(15, 16), 15);
    EXPECT_TRUE(statusText().starts_with("levelled 88 pixels to level 40 (120 m) with 0 shoulder pixels")) << statusText();
    EXPECT_EQ(undoText(), "&Undo Level Site");
    EXPECT_EQ(qGray(picture()->picDisp()->grab().toImage().pixel(12, 10)), 40);

    undo();
    EXPECT_EQ(level(10, 8), 10);
    EXPECT_EQ(level(20, 15), 20);
}

TEST_F(GroundTools, WithoutSiteOrScaleNothingChanges) {
    openRampMap(false);
    moveOver(disp(), 40, 3);  // no metres in the readout
    EXPECT_TRUE(statusText().ends_with(" - LC: " + std::to_string(s.gintCurLowColor))) << statusText();
    // Grading needs the scale.
    prompter.answers.push_back(mb::OK);
    tool(Qt::Key_G);
    EXPECT_EQ(lastShown().title, "Grade Track");
    EXPECT_TRUE(lastShown().text.starts_with("The map has no scale")) << lastShown().text;
    EXPECT_EQ(picture()->overlay()->tool(), MapOverlay::Tool::None);

    prompter.answers.push_back(mb::OK);
    levelSite([](QDialog&) { ADD_FAILURE() << "no dialog without a site"; });
    EXPECT_EQ(lastShown().title, "Level Site");
    EXPECT_TRUE(lastShown().text.starts_with("Select the site first")) << lastShown().text;

    // A click without a drag selects no pixel.
    tool(Qt::Key_R);
    drag({30, 5}, {30, 5});
    prompter.answers.push_back(mb::OK);
    levelSite([](QDialog&) { ADD_FAILURE() << "no dialog for an empty site"; });
    EXPECT_EQ(lastShown().title, "Level Site");
    EXPECT_NE(lastShown().text.find("area is zero"), std::string::npos) << lastShown().text;

    // Metres on a map without a scale: said, and nothing changes.
    drag({30, 5}, {40, 10});
    prompter.answers.push_back(mb::OK);
    levelSite([&](QDialog& d) {
        retype(d, "312 m");
        press(d, Qt::Key_Return);
    });
    EXPECT_EQ(lastShown().text, "Height: the map has no scale: a height in metres needs its metres per level.");
    EXPECT_EQ(level(35, 7), 35);
    EXPECT_FALSE(action("mnuEditUndo")->isEnabled());
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
    // Nor typed into the ground level box.
    prompter.answers.push_back(mb::Ignore);
    typeGroundLevel("312 m");
    EXPECT_NE(lastShown().text.find("the map has no scale"), std::string::npos) << lastShown().text;
    EXPECT_EQ(child<QScrollBar>("vsbGroundLevel")->value(), 128);
}

TEST_F(GroundTools, LevelsAClickedPolygonToItsMean) {
    openRampMap(false);
    tool(Qt::Key_P);
    for (QPoint p : {QPoint(100, 2), QPoint(140, 2), QPoint(100, 30)}) QTest::mouseClick(disp(), Qt::LeftButton, {}, p);
    // A double-click on the picture would revert it to its file; with a tool chosen it ends the polygon.
    QTest::mouseDClick(disp(), Qt::LeftButton, {}, QPoint(100, 30));
    levelSite([](QDialog& d) { press(d, Qt::Key_Return); });
    // Inside the triangle one level; beyond its slanted side the ramp stays.
    EXPECT_EQ(level(101, 3), level(110, 10));
    EXPECT_NE(level(101, 3), 101);
    EXPECT_EQ(level(135, 25), 135);
    EXPECT_EQ(undoText(), "&Undo Level Site");
}

TEST_F(GroundTools, MeasuresDistanceRiseAndGrade) {
    openRampMap(true);
    tool(Qt::Key_M);
    drag({10, 4}, {50, 4});
    // 40 pixels of 5 m; 40 levels of 0.5 m.
    EXPECT_EQ(statusText(), "Distance: 200 m - Rise: 20 m - Grade: 10.00%");
    const QRgb line = shown().pixel(30, 4);
    EXPECT_GT(qRed(line), 200);
    EXPECT_LT(qGreen(line), 60);
    // Moving without a button goes back to the readout.
    moveOver(disp(), 60, 20);
    EXPECT_TRUE(statusText().starts_with("X: 60 - Y: 20")) << statusText();
}

TEST_F(GroundTools, GradesAClickedTrackWithPreviewAndUndo) {
    openRampMap(true);
    tool(Qt::Key_G);
    for (QPoint p : {QPoint(20, 16), QPoint(220, 16)}) QTest::mouseClick(disp(), Qt::LeftButton, {}, p);
    // Clicked on pixels 20 and 220 of row 16, at their top-left corners.
    ASSERT_EQ(picture()->overlay()->track().size(), 2u);
    EXPECT_EQ(picture()->overlay()->track()[1], (TrackPoint{219.5, 15.5}));
    const QRgb mark = shown().pixel(120, 16);
    EXPECT_GT(qRed(mark), 200);
    EXPECT_GT(qBlue(mark), 200);
    EXPECT_LT(qGreen(mark), 60);
    // Two points make a track: its graded ground shows at once, the map still as it was.
    const auto onScreen = [this](int x, int y) { return qGray(picture()->picDisp()->grab().toImage().pixel(x, y)); };
    EXPECT_NE(onScreen(200, 16), 200);
    EXPECT_EQ(level(200, 16), 200);
    // Dragging a point grades the moved line at once; dragged back, the first again.
    EXPECT_EQ(onScreen(200, 23), 200);
    drag({220, 16}, {220, 24});
    EXPECT_EQ(picture()->overlay()->track()[1], (TrackPoint{219.5, 23.5}));
    EXPECT_NE(onScreen(200, 23), 200);
    drag({220, 24}, {220, 16});
    EXPECT_EQ(onScreen(200, 23), 200);
    ASSERT_EQ(picture()->overlay()->track().size(), 2u);

    std::string summary;
    QImage profile;
    int previewed = -1;
    main->showGradeTrackModally = [&](FrmGradeTrack& d) {
        return drive(d, [&](QDialog& d) {
            retype(d, "1");  // the steepest grade, percent
            summary = in<QLabel>(d, "lblSummary")->text().toStdString();
            profile = in<QLabel>(d, "lblProfile")->grab().toImage();
            previewed = onScreen(200, 16);
            press(d, Qt::Key_Return);
        });
    };
    keyInPicture(Qt::Key_Return);
    // 200 pixels of 5 m; the terrain climbs 10 %, the formation at most 1 %.
    EXPECT_TRUE(summary.starts_with("length: 1000.0 m\ngrade: steepest 1.000 %")) << summary;
    int drawn = 0;
    for (int y = 0; y < profile.height(); ++y)
        for (int x = 0; x < profile.width(); ++x) drawn += profile.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_GT(drawn, 1000);
    EXPECT_EQ(level(200, 16), previewed);
    EXPECT_LT(level(200, 16), 200 - 50);
    EXPECT_EQ(level(200, 0), 200);
    EXPECT_EQ(undoText(), "&Undo Grade Track");
    EXPECT_TRUE(statusText().starts_with("Graded 1000 m of track")) << statusText();
    EXPECT_EQ(picture()->overlay()->track().size(), 0u);

    undo();
    EXPECT_EQ(level(200, 16), 200);
    EXPECT_EQ(onScreen(200, 16), 200);
}

}  // namespace
}  // namespace morv::test
