// The Edit and View menus driven from the keyboard: undo and redo of the commands
// that change the map in memory, the zoom entries, the shaded relief, the board
// grid from either menu, the live preview and Esc while Redraw re-reads its map.
#include <QSettings>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "engine/Passes.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class EditView : public UiTest {
protected:
    EditView() {
        ownSettings();
        rebuild();
    }
    /// The grey level on screen at a pixel of the height display (at one to one).
    int shown(int x, int y) { return qGray(picture()->picDisp()->grab().toImage().pixel(x, y)); }
    QString text(const char* name) { return action(name)->text(); }
    bool unsaved() { return action("mnuFileSave")->isEnabled(); }
};

TEST_F(EditView, ViewZoomEntriesStepAndTellTheScale) {
    openRamp(256, 200);
    choose(Qt::Key_W, "mnuView", Qt::Key_I);
    EXPECT_DOUBLE_EQ(picture()->scale(), 1.5);
    EXPECT_EQ(statusText(), "Scale: 150%");
    choose(Qt::Key_W, "mnuView", Qt::Key_O);
    choose(Qt::Key_W, "mnuView", Qt::Key_O);
    EXPECT_DOUBLE_EQ(picture()->scale(), 2.0 / 3);
    choose(Qt::Key_W, "mnuView", Qt::Key_A);
    EXPECT_DOUBLE_EQ(picture()->scale(), 1.0);
    EXPECT_EQ(statusText(), "Scale: 100%");
}

TEST_F(EditView, ShadedReliefLightsTheSlopesFacingNorthWest) {
    // A ridge running north-south: rising five levels a pixel to x = 31, then falling.
    HeightImage ridge(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) ridge.setPixel(x, y, fcnGrayColor(50 + 5 * (x < 32 ? x : 63 - x)));
    open(writePair("ridge.bmp", ridge));
    EXPECT_EQ(shown(10, 16), 100);
    EXPECT_EQ(shown(53, 16), 100);
    choose(Qt::Key_W, "mnuView", Qt::Key_S);
    ASSERT_TRUE(action("mnuViewShaded")->isChecked());
    const int west = shown(10, 16), east = shown(53, 16);
    EXPECT_GT(west, 181);  // brighter than flat ground
    EXPECT_LT(east, 181);
    EXPECT_EQ(shown(10, 5), west);  // the same slope shows the same all along
    EXPECT_EQ(*main->document().disp.image, ridge);  // display only
    choose(Qt::Key_W, "mnuView", Qt::Key_S);
    EXPECT_EQ(shown(10, 16), 100);
}

TEST_F(EditView, CtrlZUndoesARedrawAndCtrlShiftZOrCtrlYRedoIt) {
    const HeightImage ramp = rampImage(120, 40);
    openRamp(120, 40);
    EXPECT_EQ(text("mnuEditUndo"), "&Undo");
    const HeightImage result = flattenAndRedraw(60);
    ASSERT_NE(result, ramp);
    EXPECT_EQ(text("mnuEditUndo"), "&Undo Redraw");
    EXPECT_TRUE(unsaved());
    const int x = 110, level = fcnGrayLevel(ramp.pixel(x, 0));
    ASSERT_NE(shown(x, 5), level);

    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(*main->document().disp.image, ramp);
    EXPECT_EQ(shown(x, 5), level);
    EXPECT_FALSE(unsaved());  // back to the map as opened
    EXPECT_EQ(text("mnuEditUndo"), "&Undo");
    EXPECT_EQ(text("mnuEditRedo"), "&Redo Redraw");
    EXPECT_EQ(picture()->windowTitle().toStdString(), dir.file("hills.bmp"));

    press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(*main->document().disp.image, result);
    EXPECT_TRUE(unsaved());
    EXPECT_EQ(picture()->windowTitle().toStdString(), "Morv: " + s.gstrResultName);
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(*main->document().disp.image, result);
    EXPECT_EQ(shown(x, 5), fcnGrayLevel(result.pixel(x, 0)));
}

TEST_F(EditView, UndoBackToTheSavedMapClearsTheUnsavedMark) {
    openRamp(100, 30);
    const HeightImage first = flattenAndRedraw(60);
    prompter.fileNames.push_back(dir.file("first.bmp"));
    press(Qt::Key_A, Qt::ControlModifier);  // Save As
    ASSERT_FALSE(unsaved());
    const HeightImage second = flattenAndRedraw(30);
    ASSERT_NE(second, first);
    EXPECT_TRUE(unsaved());
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(*main->document().disp.image, first);
    EXPECT_FALSE(unsaved());
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(*main->document().disp.image, rampImage(100, 30));
    EXPECT_TRUE(unsaved());  // not what the file on disk holds now
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_FALSE(unsaved());
}

TEST_F(EditView, CalcBaseAndNewContoursUndoToo) {
    // Ground at 90 with a plateau at 200; the contour image marks the ground.
    HeightImage map(64, 48, 90);
    for (int y = 12; y < 30; ++y)
        for (int x = 20; x < 44; ++x) map.setPixel(x, y, fcnGrayColor(200));
    HeightImage contour(64, 48, 255);
    for (int y = 0; y < 48; ++y) contour.setPixel(5, y, 0);
    open(writePair("plateau.bmp", map, &contour));
    auto* box = child<QLineEdit>("txtGroundLevel");
    click("cmdCalcCL");
    ASSERT_EQ(box->text(), "90");
    EXPECT_EQ(text("mnuEditUndo"), "&Undo Calc Base");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "128");
    EXPECT_EQ(s.gintGroundLevel, 128);
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(s.gintGroundLevel, 90);

    click("cmdNewCoast");
    const HeightImage drawn = *main->document().dispCL.image;
    ASSERT_NE(drawn, contour);
    EXPECT_EQ(text("mnuEditUndo"), "&Undo Make New Contours");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(*main->document().dispCL.image, contour);
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(*main->document().dispCL.image, drawn);
}

TEST_F(EditView, TheOldestStepsGoPastTheSettingsLimit) {
    QSettings().setValue(QStringLiteral("undo/steps"), 2);
    rebuild();
    openRamp(90, 20);
    const HeightImage first = flattenAndRedraw(20);
    flattenAndRedraw(40);
    flattenAndRedraw(60);
    EXPECT_EQ(main->history().steps(), 2u);
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(*main->document().disp.image, first);
    EXPECT_FALSE(action("mnuEditUndo")->isEnabled());
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(*main->document().disp.image, first);
}

TEST_F(EditView, LivePreviewShowsTheSettingsWithoutReadingOrWriting) {
    const std::string path = openRamp(256, 20);  // level of column x is x
    int reads = 0;
    const auto read = main->readPictureFile;
    main->readPictureFile = [&, read](const std::string& p) {
        ++reads;
        return read(p);
    };
    choose(Qt::Key_W, "mnuView", Qt::Key_L);
    ASSERT_TRUE(action("mnuViewLivePreview")->isChecked());
    EXPECT_TRUE(QSettings().value(QStringLiteral("view/livePreview")).toBool());
    click("chkFlatten");  // the focus goes on to the mountains bar
    ASSERT_EQ(QApplication::focusWidget(), child<QWidget>("vsbMountains"));
    for (int i = 0; i < 3; ++i) press(Qt::Key_PageDown);  // 20 a press
    ASSERT_EQ(child<QScrollBar>("vsbMountains")->value(), 60);
    const PassTable flatten = flattenTable(128, mountainFactorFromBar(60));
    EXPECT_EQ(shown(200, 5), flatten.level[200]);
    EXPECT_EQ(shown(100, 5), 100);  // below the ground: untouched
    EXPECT_EQ(*main->document().disp.image, rampImage(256, 20));
    EXPECT_EQ(reads, 0);
    EXPECT_FALSE(unsaved());

    // Space held shows the map as it is; let go, the preview again.
    QWidget* focus = QApplication::focusWidget();
    QTest::keyPress(focus, Qt::Key_Space);
    EXPECT_EQ(shown(200, 5), 200);
    QTest::keyRelease(focus, Qt::Key_Space);
    EXPECT_EQ(shown(200, 5), flatten.level[200]);
    choose(Qt::Key_W, "mnuView", Qt::Key_R);  // Show Original, from the menu
    EXPECT_EQ(shown(200, 5), 200);
    choose(Qt::Key_W, "mnuView", Qt::Key_R);
    EXPECT_EQ(shown(200, 5), flatten.level[200]);

    // The ground level typed in its box moves the preview at once.
    typeGroundLevel("150");
    EXPECT_EQ(shown(200, 5), flattenTable(150, mountainFactorFromBar(60)).level[200]);
    EXPECT_EQ(shown(140, 5), 140);

    // Redraw gives what the preview showed, and the preview does not apply twice.
    click("cmdRedraw");
    EXPECT_EQ(fcnGrayLevel(main->document().disp.image->pixel(200, 5)), shown(200, 5));
    EXPECT_EQ(shown(200, 5), flattenTable(150, mountainFactorFromBar(60)).level[200]);
}

TEST_F(EditView, AfterARedrawThePreviewStartsFromTheFileAgain) {
    openRamp(256, 20);
    const HeightImage first = flattenAndRedraw(40);  // Live Preview still off
    choose(Qt::Key_W, "mnuView", Qt::Key_L);
    // The next Redraw starts from the file, and so does the preview after it: the
    // picture shows the result once, not the settings twice over.
    const HeightImage second = flattenAndRedraw(60);
    EXPECT_EQ(fcnGrayLevel(second.pixel(200, 5)), flattenTable(128, mountainFactorFromBar(60)).level[200]);
    EXPECT_EQ(shown(200, 5), fcnGrayLevel(second.pixel(200, 5)));
    click("chkFlatten");  // untick: no pass, so the picture as it is
    EXPECT_EQ(shown(200, 5), fcnGrayLevel(second.pixel(200, 5)));
    click("chkFlatten");
    press(Qt::Key_PageUp);  // 40 %: shown from the file's map
    EXPECT_EQ(shown(200, 5), fcnGrayLevel(first.pixel(200, 5)));
}

TEST_F(EditView, LivePreviewIsRememberedForTheNextRun) {
    EXPECT_FALSE(action("mnuViewLivePreview")->isChecked());
    choose(Qt::Key_W, "mnuView", Qt::Key_L);
    rebuild();
    EXPECT_TRUE(action("mnuViewLivePreview")->isChecked());
    choose(Qt::Key_W, "mnuView", Qt::Key_L);
    rebuild();
    EXPECT_FALSE(action("mnuViewLivePreview")->isChecked());
}

TEST_F(EditView, EscDuringTheRereadAsksAndTheWindowKeepsServing) {
    openRamp(120, 30);
    click("chkFlatten");
    child<QScrollBar>("vsbMountains")->setValue(50);
    // The read waits until the test lets it go: the question comes while it runs.
    std::mutex m;
    std::condition_variable cv;
    bool letGo = false;
    const auto read = main->readPictureFile;
    main->readPictureFile = [&, read](const std::string& p) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return letGo; });
        return read(p);
    };
    std::string statusWhileReading;
    bool asked = false;
    main->whileReading = [&] {
        if (asked) return;
        asked = true;
        statusWhileReading = statusText();
        prompter.answers.push_back(mb::Yes);
        press(Qt::Key_Escape);
        std::lock_guard lock(m);
        letGo = true;
        cv.notify_all();
    };
    click("cmdRedraw");
    ASSERT_TRUE(asked);
    EXPECT_EQ(statusWhileReading, "WORKING... Loading Image");
    EXPECT_EQ(lastShown().title, "Cancel Drawing");
    EXPECT_EQ(lastShown().text, "Do you want to cancel this process?");
    EXPECT_EQ(*main->document().disp.image, rampImage(120, 30));
    EXPECT_FALSE(unsaved());
    EXPECT_FALSE(s.gblnCancel);
}

}  // namespace
}  // namespace morv::test
