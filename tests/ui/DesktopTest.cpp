// Working with the desktop: the base-board grid and reaching the menus from the
// keyboard.
#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

#include "engine/ImageIO.h"
#include "ui/FrmCalcImgSize.h"
#include "ui/PictureBox.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

// ---- The base-board grid ---------------------------------------------------------

class BoardGrid : public UiTest {
protected:
    BoardGrid() { path = openRamp(300, 160); }
    static QRgb shown(PictureBox* box, int x, int y) { return box->grab().toImage().pixel(x, y); }
    std::string readoutAt(int x, int y) {
        QWidget* w = picture()->picDisp();
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w, &move);
        return statusText();
    }
    std::string path;
};

TEST_F(BoardGrid, IsOffAtStartAndDrawsLinesEvery144PixelsOverBothDisplays) {
    QAction* grid = action("mnuOptionsBoardGrid");
    EXPECT_TRUE(grid->isCheckable());
    EXPECT_FALSE(grid->isChecked());
    PictureBox* disp = picture()->picDisp();
    EXPECT_EQ(shown(disp, 144, 10), disp->shownImage().pixel(144, 10));
    grid->trigger();
    for (PictureBox* box : {disp, picture()->picDispCL()}) {
        EXPECT_NE(shown(box, 144, 10), box->shownImage().pixel(144, 10));
        EXPECT_NE(shown(box, 10, 144), box->shownImage().pixel(10, 144));
        EXPECT_EQ(shown(box, 143, 10), box->shownImage().pixel(143, 10));
    }
}

TEST_F(BoardGrid, NeverChangesTheImageTheSavedFileOrTheReadout) {
    const std::string before = readoutAt(144, 10);
    action("mnuOptionsBoardGrid")->trigger();
    EXPECT_EQ(readoutAt(144, 10), before);
    EXPECT_EQ(*main->document().disp.image, rampImage(300, 160));
    const std::string saved = dir.file("saved.bmp");
    prompter.fileNames.push_back(saved);
    action("mnuFileSaveAs")->trigger();
    EXPECT_EQ(*loadPictureFile(saved), rampImage(300, 160));
}

TEST_F(BoardGrid, LastsForTheRunAcrossClosingAndOpening) {
    action("mnuOptionsBoardGrid")->trigger();
    action("mnuFileClose")->trigger();
    open(path);
    EXPECT_TRUE(picture()->picDisp()->boardGrid());
    EXPECT_TRUE(picture()->picDispCL()->boardGrid());
}

// ---- Keyboard ----------------------------------------------------------------------

using Keyboard = UiTest;

TEST_F(Keyboard, EveryMenuOfTheMenuBarHasItsOwnMnemonic) {
    QList<QKeySequence> seen;
    for (QAction* a : main->menuBar()->actions()) {
        if (!a->isVisible()) continue;
        const QKeySequence key = QKeySequence::mnemonic(a->text());
        EXPECT_FALSE(key.isEmpty()) << a->text().toStdString();
        EXPECT_FALSE(seen.contains(key)) << a->text().toStdString();
        seen.push_back(key);
    }
    EXPECT_EQ(seen.size(), 4);
}

TEST_F(Keyboard, EntriesWithoutTheirOwnLetterAreReachedWithTheArrowKeys) {
    int shown = 0;
    main->showCalcImgSizeModally = [&](FrmCalcImgSize&) { ++shown; };
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    QTest::keyClick(main.get(), Qt::Key_T, Qt::AltModifier);
    QMenu* tools = child<QMenu>("mnuTools");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tools->isVisible(); }, 1000));
    QTest::keyClick(tools, Qt::Key_Down);
    QTest::keyClick(tools, Qt::Key_Return);
    EXPECT_EQ(shown, 1);
}

}  // namespace
}  // namespace morv::test
