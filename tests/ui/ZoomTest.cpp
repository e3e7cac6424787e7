// The picture window at any scale: the zoom keys and wheel, the readout, the grid
// and Ctrl+C in image pixels, and what is drawn reaching the screen.
#include <QClipboard>
#include <QScreen>
#include <QWheelEvent>

#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class Zoom : public UiTest {
protected:
    /// A 256 x 200 ramp: the grey level of a pixel is its column.
    Zoom() {
        path = openRamp(256, 200);
        // Window shortcuts work in the active window, as on a desktop.
        activate();
    }
    QWidget* viewport() const { return picture()->findChild<QScrollArea*>(QStringLiteral("picScroll"))->viewport(); }
    /// Presses a zoom key where the focus is after an Open: the ground level box.
    void zoomKey(Qt::Key key, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, key, mods);
    }
    /// A wheel turn over the picture, as the scrolled area's viewport gets it (the
    /// displays pass wheel events on to it).
    void wheel(QPoint at, int angle, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
        QWidget* w = viewport();
        QWheelEvent turn(QPointF(at), w->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, angle), Qt::NoButton, mods,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &turn);
    }
    std::string path;
};

TEST_F(Zoom, KeysStepFitAndOneToOneWithTheScaleInTheStatusBar) {
    EXPECT_EQ(picture()->scale(), 1.0);  // opens at one to one
    EXPECT_EQ(picture()->picDisp()->size(), QSize(256, 200));
    ASSERT_EQ(QApplication::focusWidget(), child<QLineEdit>("txtGroundLevel"));
    struct Step { Qt::Key key; Qt::KeyboardModifiers mods; double scale; const char* status; };
    const Step steps[] = {
        {Qt::Key_Plus, Qt::ControlModifier, 1.5, "Scale: 150%"},
        {Qt::Key_Equal, Qt::ControlModifier, 2.0, "Scale: 200%"},
        {Qt::Key_Minus, Qt::ControlModifier, 1.5, "Scale: 150%"},
        {Qt::Key_1, Qt::ControlModifier, 1.0, "Scale: 100%"},
        {Qt::Key_Minus, Qt::ControlModifier, 2.0 / 3, "Scale: 67%"},
    };
    for (const Step& step : steps) {
        zoomKey(step.key, step.mods);
        EXPECT_DOUBLE_EQ(picture()->scale(), step.scale) << step.status;
        EXPECT_EQ(statusText(), step.status);
        EXPECT_EQ(picture()->picDisp()->width(), int(std::ceil(256 * step.scale - 1e-9))) << step.status;
    }
    // Fit: the whole picture in the window, as large as it goes.
    zoomKey(Qt::Key_0);
    const QSize room = viewport()->size();
    const QSize shown = picture()->picDisp()->size();
    EXPECT_LE(shown.width(), room.width());
    EXPECT_LE(shown.height(), room.height());
    EXPECT_TRUE(shown.width() >= room.width() - 1 || shown.height() >= room.height() - 1);
    EXPECT_EQ(statusText().rfind("Scale: ", 0), 0u);
}

TEST_F(Zoom, ReadoutScreenGridAndCopyStayInImagePixelsAtAnyScale) {
    action("mnuOptionsBoardGrid")->trigger();
    // plusPresses from one to one; at: on the height display.
    struct Row { int plusPresses; double scale; QPoint at; const char* readout; };
    // 43 / 4 = 10.75 is pixel 10, not 11; 20 / (2/3) = 30.
    const Row rows[] = {
        {3, 3.0, {31, 7}, "X: 10 - Y: 2 - C: 10 - HC: 255 - LC: 0"},
        {4, 4.0, {43, 29}, "X: 10 - Y: 7 - C: 10 - HC: 255 - LC: 0"},
        {-1, 2.0 / 3, {20, 5}, "X: 30 - Y: 7 - C: 30 - HC: 255 - LC: 0"},
    };
    for (const Row& row : rows) {
        zoomKey(Qt::Key_1);
        for (int i = 0; i < std::abs(row.plusPresses); ++i) zoomKey(row.plusPresses > 0 ? Qt::Key_Plus : Qt::Key_Minus);
        ASSERT_DOUBLE_EQ(picture()->scale(), row.scale);
        moveOver(picture()->picDisp(), row.at.x(), row.at.y());
        EXPECT_EQ(statusText(), row.readout);
        // What the screen shows under the pointer is the pixel the readout names.
        const QImage screen = picture()->picDisp()->grab().toImage();
        EXPECT_EQ(qGray(screen.pixel(row.at)), std::stoi(std::string(row.readout).substr(std::string(row.readout).find("C: ") + 3)))
            << row.scale;
        // The grid's line falls where image column 144 starts on screen.
        const auto grey = [&](int x) { return qRed(screen.pixel(x, 1)) == qBlue(screen.pixel(x, 1)); };
        const int line = int(std::ceil(144 * row.scale - 1e-9));
        EXPECT_FALSE(grey(line)) << row.scale;
        EXPECT_TRUE(grey(line - 1)) << row.scale;
        EXPECT_TRUE(grey(line + 2)) << row.scale;
    }
    keyInPicture(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(256, 200));
}

TEST_F(Zoom, CtrlWheelZoomsAboutThePointerAndAPlainWheelScrolls) {
    zoomKey(Qt::Key_Plus);  // 1.5
    const QPoint at(100, 60);
    moveOver(picture()->picDisp(), at.x(), at.y());
    const std::string before = statusText();
    const QPoint inViewport = picture()->picDisp()->mapTo(viewport(), at);
    wheel(inViewport, 120);
    EXPECT_DOUBLE_EQ(picture()->scale(), 2.0);
    EXPECT_EQ(statusText(), "Scale: 200%");
    // The same image pixel stays under the pointer.
    const QPoint back = picture()->picDisp()->mapFrom(viewport(), inViewport);
    moveOver(picture()->picDisp(), back.x(), back.y());
    EXPECT_EQ(statusText(), before);
    wheel(inViewport, -60);  // half a notch: nothing yet
    EXPECT_DOUBLE_EQ(picture()->scale(), 2.0);
    wheel(inViewport, -60);
    EXPECT_DOUBLE_EQ(picture()->scale(), 1.5);
    QScrollBar* down = picture()->findChild<QScrollArea*>(QStringLiteral("picScroll"))->verticalScrollBar();
    const int top = down->value();
    wheel(inViewport, -120, Qt::NoModifier);
    EXPECT_GT(down->value(), top);
    EXPECT_DOUBLE_EQ(picture()->scale(), 1.5);
}

class OnScreen : public UiTest {
protected:
    /// Ground at 128 with a plateau at 200: contour lines around the plateau.
    OnScreen() {
        HeightImage map(64, 48, 128);
        for (int y = 12; y < 30; ++y)
            for (int x = 20; x < 44; ++x) map.setPixel(x, y, fcnGrayColor(200));
        open(writePair("plateau.bmp", map));
    }
    /// Black pixels on screen where the contour picture has them, nowhere else.
    void expectContourOnScreen(const char* after) {
        ASSERT_TRUE(picture()->picDispCL()->isVisible()) << after;
        const HeightImage& contour = *main->document().dispCL.image;
        int black = 0;
        QImage screen;
        // What the screen holds, painted by the event loop as a user's screen gets
        // it (grab() would paint the widget afresh).
        QWidget* shown = picture()->findChild<QScrollArea*>(QStringLiteral("picScroll"))->viewport();
        const QPoint at = shown->mapTo(main.get(), QPoint(0, 0));
        const bool painted = QTest::qWaitFor([&] {
            screen = main->screen()->grabWindow(main->winId(), at.x(), at.y(), contour.width(), contour.height()).toImage();
            return qGray(screen.pixel(19, 12)) == 0;
        }, 500);
        EXPECT_TRUE(painted) << after;
        for (int y = 0; y < contour.height(); ++y)
            for (int x = 0; x < contour.width(); ++x) {
                const bool lineHere = contour.pixel(x, y) == 0;
                black += lineHere;
                EXPECT_EQ(qGray(screen.pixel(x, y)) == 0, lineHere) << after << " at " << x << "," << y;
            }
        EXPECT_GT(black, 40) << after;
    }
};

TEST_F(OnScreen, ContourLinesReachTheScreenAfterEachDrawing) {
    click("cmdNewCoast");
    expectContourOnScreen("Make New Contours");
    click("chkAutoContLine");
    flattenAndRedraw(40);
    expectContourOnScreen("Redraw");
}

}  // namespace
}  // namespace morv::test
