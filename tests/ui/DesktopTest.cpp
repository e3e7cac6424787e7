// Working with the desktop: dropping a map on the window, the base-board grid and
// reaching the menus from the keyboard.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include "engine/ImageIO.h"
#include "ui/FrmCalcImgSize.h"
#include "ui/PictureBox.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

// ---- Dropping files ---------------------------------------------------------------

class Drop : public UiTest {
protected:
    /// Drags the URLs over the main window and drops them there; returns whether
    /// the window accepted the drag.
    bool drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(main->width() / 2, main->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main.get(), &dropped);
        return dropped.isAccepted();
    }
    static QUrl file(const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); }
};

TEST_F(Drop, ADroppedMapOpensWithoutTheFileDialog) {
    const std::string path = writePair("Ridge.BMP", rampImage(40, 20));
    EXPECT_TRUE(drop({file(path)}));
    ASSERT_NE(picture(), nullptr);
    EXPECT_EQ(s.gstrImageFile, path);
    EXPECT_EQ(*main->document().disp.image, rampImage(40, 20));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(Drop, OtherFilesSeveralFilesAndRemoteAddressesAreRefused) {
    const std::string a = writePair("a.bmp", rampImage(16, 8));
    const std::string b = writePair("b.jpg", rampImage(16, 8));
    EXPECT_FALSE(drop({file(dir.file("notes.png"))}));
    EXPECT_FALSE(drop({file(a), file(b)}));
    EXPECT_FALSE(drop({QUrl(QStringLiteral("http://127.0.0.1/a.bmp"))}));
    EXPECT_FALSE(drop({}));
    EXPECT_EQ(picture(), nullptr);
}

TEST_F(Drop, UnsavedChangesAreAskedAboutFirst) {
    const std::string first = openRamp(40, 20);
    click("chkFlatten");
    child<QScrollBar>("vsbMountains")->setValue(60);
    click("cmdRedraw");
    const std::string second = writePair("second.jpeg", rampImage(24, 16));
    prompter.shown.clear();
    prompter.answers = {mb::Cancel};
    EXPECT_TRUE(drop({file(second)}));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].kind, "msgBox");
    EXPECT_EQ(s.gstrImageFile, first);
}

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
