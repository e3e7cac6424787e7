// The picture window: readout, keys, reverts and its close request.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QMdiArea>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "ui/PictureBox.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

/// A contour picture: white, a black line down column 5, pure red at (1, 1) and pure blue at (2, 1).
HeightImage contourImage() {
    HeightImage img(48, 24, 255);
    for (int y = 0; y < 24; ++y) img.setPixel(5, y, 0);
    img.setPixel(1, 1, 255);
    img.setPixel(2, 1, 16711680);
    return img;
}

class PictureWindow : public UiTest {
protected:
    PictureWindow() {
        const HeightImage cl = contourImage();
        path = writePair("ridge.bmp", rampImage(48, 24), &cl);
        open(path);
    }
    void moveOver(QWidget* w, int x, int y) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
    QScrollArea* scroll() const { return picture()->findChild<QScrollArea*>(QStringLiteral("picScroll")); }
    void redraw() {
        click("chkFlatten");
        child<QScrollBar>("vsbMountains")->setValue(60);
        click("cmdRedraw");
    }
    std::string path;
};

TEST_F(PictureWindow, TheReadoutNamesPositionLevelAndRange) {
    moveOver(picture()->picDisp(), 10, 3);
    EXPECT_EQ(statusText(), "X: 10 - Y: 3 - C: 54 - HC: 255 - LC: 0");
    moveOver(picture()->picDisp(), 0, 0);
    EXPECT_EQ(statusText(), "X: 0 - Y: 0 - C: 0 - HC: 255 - LC: 0");
}

TEST_F(PictureWindow, OverColoursTheReadoutShowsTheBlueOrTheWholeColour) {
    click("chkShowCoast");
    moveOver(picture()->picDispCL(), 1, 1);
    EXPECT_EQ(statusText(), "X: 1 - Y: 1 - C: 255 - HC: 255 - LC: 0");
    moveOver(picture()->picDispCL(), 2, 1);
    EXPECT_EQ(statusText(), "X: 2 - Y: 1 - C: 255 - HC: 255 - LC: 0");
    moveOver(picture()->picDispCL(), 5, 1);
    EXPECT_EQ(statusText(), "X: 5 - Y: 1 - C: 0 - HC: 255 - LC: 0");
}

TEST_F(PictureWindow, WhileBusyTheReadoutAndClearingStandBack) {
    bool progressKept = true;
    int yields = 0;
    main->afterYield = [&] {
        if (++yields < 3) return;
        const std::string before = statusText();
        moveOver(picture()->picDisp(), 4, 4);
        moveOver(scroll()->viewport(), 200, 100);
        moveOver(main->findChild<QMdiArea*>(QStringLiteral("mdiArea"))->viewport(), 700, 500);
        progressKept = progressKept && statusText() == before && before.rfind("WORKING... ", 0) == 0;
    };
    redraw();
    EXPECT_TRUE(progressKept);
    moveOver(picture()->picDisp(), 4, 4);
    EXPECT_EQ(statusText().rfind("X: 4 - Y: 4", 0), 0u);
    moveOver(main->findChild<QMdiArea*>(QStringLiteral("mdiArea"))->viewport(), 700, 500);
    EXPECT_EQ(statusText(), "");
}

TEST_F(PictureWindow, EscWhenNothingRunsAsksNothing) {
    QTest::keyClick(scroll(), Qt::Key_Escape);
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_FALSE(s.gblnCancel);
}

TEST_F(PictureWindow, CtrlCCopiesTheContourDisplayEvenWhenHidden) {
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(scroll(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    QTest::keyClick(scroll(), Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(48, 24));
    EXPECT_EQ(copied.pixel(5, 3) & 0xffffff, 0u);
    EXPECT_EQ(copied.pixel(1, 1) & 0xffffff, 0xff0000u);
    EXPECT_EQ(copied.pixel(2, 1) & 0xffffff, 0x0000ffu);
    EXPECT_EQ(copied.pixel(20, 3) & 0xffffff, 0xffffffu);
}

TEST_F(PictureWindow, DoubleClickOnTheHeightDisplayRevertsToTheFile) {
    redraw();
    ASSERT_NE(*main->document().disp.image, rampImage(48, 24));
    s.gintCurHighColor = 128;
    QTest::mouseDClick(picture()->picDisp(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_EQ(*main->document().disp.image, rampImage(48, 24));
    EXPECT_EQ(picture()->windowTitle().toStdString(), path);
    EXPECT_EQ(s.gintCurHighColor, 255);
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
    EXPECT_EQ(qGray(picture()->picDisp()->shownImage().pixel(47, 0)), 255);
}

TEST_F(PictureWindow, DoubleClickOnTheContourDisplayRevertsAndHidesIt) {
    redraw();
    const QString caption = picture()->windowTitle();
    click("chkShowCoast");
    QTest::mouseDClick(picture()->picDispCL(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_EQ(*main->document().disp.image, rampImage(48, 24));
    EXPECT_FALSE(child<QCheckBox>("chkShowCoast")->isChecked());
    EXPECT_FALSE(picture()->picDispCL()->isVisible());
    EXPECT_EQ(picture()->windowTitle(), caption);
}

TEST_F(PictureWindow, ItRefusesToCloseWhileDrawing) {
    bool refused = false;
    int yields = 0;
    main->afterYield = [&] {
        if (++yields != 3) return;
        prompter.answers.push_back(mb::OK);
        refused = !picture()->close();
    };
    redraw();
    EXPECT_TRUE(refused);
    const Shown& box = prompter.shown.back();
    EXPECT_EQ(box.text, "Can not close while Drawing");
    EXPECT_EQ(box.style, 0);
    EXPECT_EQ(box.title, "Morv");
    ASSERT_NE(picture(), nullptr);
    EXPECT_TRUE(picture()->isVisible());
}

}  // namespace
}  // namespace morv::test
