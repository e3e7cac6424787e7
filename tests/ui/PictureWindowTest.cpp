// The picture window: readout, keys, reverts and its close request.
#include <QClipboard>

#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class PictureWindow : public UiTest {
protected:
    PictureWindow() {
        // The contour picture: white, a black line down column 5, pure red at (1, 1), pure blue at (2, 1).
        HeightImage cl(48, 24, 255);
        for (int y = 0; y < 24; ++y) cl.setPixel(5, y, 0);
        cl.setPixel(1, 1, 255);
        cl.setPixel(2, 1, 16711680);
        path = writePair("ridge.bmp", rampImage(48, 24), &cl);
        open(path);
    }
    QWidget* desk() const { return main->findChild<QMdiArea*>(QStringLiteral("mdiArea"))->viewport(); }
    std::string path;
};

TEST_F(PictureWindow, TheReadoutAndTheKeysWhenIdle) {
    click("chkShowCoast");
    struct Row { PictureBox* display; int x, y; const char* readout; };
    for (const Row& row : {Row{picture()->picDisp(), 10, 3, "X: 10 - Y: 3 - C: 54 - HC: 255 - LC: 0"},  // grey
                           {picture()->picDispCL(), 1, 1, "X: 1 - Y: 1 - C: 255 - HC: 255 - LC: 0"},   // red
                           {picture()->picDispCL(), 2, 1, "X: 2 - Y: 1 - C: 255 - HC: 255 - LC: 0"},   // blue
                           {picture()->picDispCL(), 5, 1, "X: 5 - Y: 1 - C: 0 - HC: 255 - LC: 0"}}) {  // black
        moveOver(row.display, row.x, row.y);
        EXPECT_EQ(statusText(), row.readout);
    }
    click("chkShowCoast");
    keyInPicture(Qt::Key_Escape);
    EXPECT_EQ(prompter.shown.size(), 1u);  // only the open dialog
    // Ctrl+C copies the contour display even while hidden; Ctrl+Shift+C copies nothing.
    QApplication::clipboard()->setText(QStringLiteral("before"));
    keyInPicture(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    keyInPicture(Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(48, 24));
    EXPECT_EQ(copied.pixel(5, 3) & 0xffffff, 0u);
    EXPECT_EQ(copied.pixel(1, 1) & 0xffffff, 0xff0000u);
    EXPECT_EQ(copied.pixel(2, 1) & 0xffffff, 0x0000ffu);
}

TEST_F(PictureWindow, WhileDrawingTheReadoutStandsBackAndTheWindowWillNotClose) {
    bool progressKept = true, refused = false;
    main->afterYield = [&] {
        if (++yields < 3) return;
        const std::string before = statusText();
        moveOver(picture()->picDisp(), 4, 4);
        moveOver(desk(), 700, 500);
        progressKept = progressKept && statusText() == before && before.rfind("WORKING... ", 0) == 0;
        if (yields != 3) return;
        prompter.answers.push_back(mb::OK);
        refused = !picture()->close();
    };
    flattenAndRedraw();
    EXPECT_TRUE(progressKept);
    EXPECT_TRUE(refused);
    EXPECT_EQ(lastShown().text, "Can not close while Drawing");
    ASSERT_NE(picture(), nullptr);
    EXPECT_TRUE(picture()->isVisible());
    moveOver(picture()->picDisp(), 4, 4);
    EXPECT_EQ(statusText().rfind("X: 4 - Y: 4", 0), 0u);
    moveOver(desk(), 700, 500);
    EXPECT_EQ(statusText(), "");
}

TEST_F(PictureWindow, DoubleClickOnEitherDisplayRevertsToTheFile) {
    flattenAndRedraw();
    QTest::mouseDClick(picture()->picDisp(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_EQ(*main->document().disp.image, rampImage(48, 24));
    EXPECT_EQ(picture()->windowTitle().toStdString(), path);
    EXPECT_EQ(qGray(picture()->picDisp()->shownImage().pixel(47, 0)), 255);

    flattenAndRedraw();
    const QString caption = picture()->windowTitle();  // the contour display keeps the result's name
    click("chkShowCoast");
    QTest::mouseDClick(picture()->picDispCL(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_EQ(*main->document().disp.image, rampImage(48, 24));
    EXPECT_FALSE(child<QCheckBox>("chkShowCoast")->isChecked());
    EXPECT_FALSE(picture()->picDispCL()->isVisible());
    EXPECT_EQ(picture()->windowTitle(), caption);
}

}  // namespace
}  // namespace morv::test
