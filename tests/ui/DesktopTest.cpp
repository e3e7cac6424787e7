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

class Drop : public UiTest {
protected:
    /// Drags the files (or addresses) over the main window and drops them; true when it took them.
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

TEST_F(Drop, ADroppedMapOpensWithoutTheFileDialogAndOtherDropsAreRefused) {
    const std::string path = writePair("Ridge.BMP", rampImage(40, 20));
    EXPECT_FALSE(drop({file(dir.file("notes.png"))}));
    EXPECT_FALSE(drop({file(path), file(path)}));
    EXPECT_FALSE(drop({QUrl(QStringLiteral("http://127.0.0.1/a.bmp"))}));
    EXPECT_EQ(picture(), nullptr);
    EXPECT_TRUE(drop({file(path)}));
    ASSERT_NE(picture(), nullptr);
    EXPECT_EQ(s.gstrImageFile, path);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(Drop, UnsavedChangesAreAskedAboutFirst) {
    const std::string first = openRamp(40, 20);
    click("chkFlatten");
    child<QScrollBar>("vsbMountains")->setValue(60);
    click("cmdRedraw");
    prompter.shown.clear();
    prompter.answers = {mb::Cancel};
    EXPECT_TRUE(drop({file(writePair("second.jpeg", rampImage(24, 16)))}));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(s.gstrImageFile, first);
}

class BoardGrid : public UiTest {
protected:
    BoardGrid() { path = openRamp(300, 160); }
    static bool lineAt(PictureBox* box, int x, int y) { return box->grab().toImage().pixel(x, y) != box->shownImage().pixel(x, y); }
    std::string readoutAt(int x, int y) {
        QWidget* w = picture()->picDisp();
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
        return statusText();
    }
    std::string path;
};

TEST_F(BoardGrid, IsOffAtStartThenDrawsEvery144PixelsOverBothDisplaysForTheRun) {
    EXPECT_FALSE(action("mnuOptionsBoardGrid")->isChecked());
    EXPECT_FALSE(lineAt(picture()->picDisp(), 144, 10));
    action("mnuOptionsBoardGrid")->trigger();
    action("mnuFileClose")->trigger();
    open(path);
    for (PictureBox* box : {picture()->picDisp(), picture()->picDispCL()}) {
        EXPECT_TRUE(lineAt(box, 144, 10));
        EXPECT_TRUE(lineAt(box, 10, 144));
        EXPECT_FALSE(lineAt(box, 143, 10));
    }
}

TEST_F(BoardGrid, NeverChangesTheImageTheSavedFileOrTheReadout) {
    const std::string before = readoutAt(144, 10);
    action("mnuOptionsBoardGrid")->trigger();
    EXPECT_EQ(readoutAt(144, 10), before);
    EXPECT_EQ(*main->document().disp.image, rampImage(300, 160));
    prompter.fileNames.push_back(dir.file("saved.bmp"));
    action("mnuFileSaveAs")->trigger();
    EXPECT_EQ(*loadPictureFile(dir.file("saved.bmp")), rampImage(300, 160));
}

using Keyboard = UiTest;

TEST_F(Keyboard, EveryMenuOfTheMenuBarHasItsOwnMnemonic) {
    QList<QKeySequence> seen;
    for (QAction* a : main->menuBar()->actions()) {
        const QKeySequence key = QKeySequence::mnemonic(a->text());
        if (!a->isVisible()) continue;
        EXPECT_FALSE(key.isEmpty() || seen.contains(key)) << a->text().toStdString();
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
