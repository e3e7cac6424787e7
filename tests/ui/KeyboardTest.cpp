// The main window under the keyboard and the mouse, pressed where a user's focus
// would be: Esc while an operation runs, the menu shortcuts over the ground level
// box, the overwrite dialog's keys, the bars that stand upside down, and what
// Redraw shows before it re-reads a large map.
#include <QWheelEvent>
#include <filesystem>
#include <map>

#include "ui/FrmCalcImgSize.h"
#include "ui/FrmOverWrite.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class Keyboard : public UiTest {
protected:
    Keyboard() { activate(); }
    /// Ticks Flatten Mountains at 50 %.
    void flattenHalf() {
        click("chkFlatten");
        child<QScrollBar>("vsbMountains")->setValue(50);
    }
};

TEST_F(Keyboard, EscAfterAClickOnRedrawAsksToCancelAndTheMenusStayShut) {
    const std::string path = openRamp(100, 50);
    flattenHalf();
    bool toolsOff = false, noMenuOpened = false;
    atYield(20, [&] {
        toolsOff = !child<QMenu>("mnuTools")->menuAction()->isEnabled();
        press(Qt::Key_T, Qt::AltModifier);
        noMenuOpened = QApplication::activePopupWidget() == nullptr;
        prompter.answers.push_back(mb::Yes);
        press(Qt::Key_Escape);
    });
    click("cmdRedraw");
    ASSERT_EQ(prompter.shown.size(), 2u);  // the open dialog, then the question
    EXPECT_EQ(lastShown().title, "Cancel Drawing");
    EXPECT_EQ(lastShown().text, "Do you want to cancel this process?");
    EXPECT_EQ(lastShown().style, mb::YesNo + mb::Question);
    EXPECT_LT(yields, 30);
    EXPECT_EQ(*main->document().disp.image, rampImage(100, 50));
    EXPECT_TRUE(toolsOff);
    EXPECT_TRUE(noMenuOpened);
    EXPECT_TRUE(child<QMenu>("mnuTools")->menuAction()->isEnabled());
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
    EXPECT_EQ(picture()->windowTitle().toStdString(), path);

    // Esc in the picture window answered No: the Redraw goes on to its end.
    atYield(5, [&] {
        prompter.answers.push_back(mb::No);
        keyInPicture(Qt::Key_Escape);
    });
    click("cmdRedraw");
    EXPECT_EQ(lastShown().title, "Cancel Drawing");
    EXPECT_GT(yields, 100);
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());

    // The same from the other buttons that work column by column.
    for (const char* button : {"cmdNewCoast", "cmdCalcCL", "cmdGetHighLowColor"}) {
        atYield(3, [&] {
            prompter.answers.push_back(mb::No);
            press(Qt::Key_Escape);
        });
        const std::size_t before = prompter.shown.size();
        click(button);
        ASSERT_EQ(prompter.shown.size(), before + 1) << button;
        EXPECT_EQ(lastShown().title, "Cancel Drawing") << button;
    }
}

/// Counts the times a widget was painted while disabled.
class DisabledPaints : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint && !static_cast<QWidget*>(watched)->isEnabled()) ++count;
        return false;
    }
};

TEST_F(Keyboard, RedrawLooksBusyBeforeItRereadsTheMap) {
    openRamp(100, 50);
    flattenHalf();
    auto* toolbar = child<QWidget>("picMainToolbar");
    DisabledPaints paints;
    toolbar->installEventFilter(&paints);
    int paintedBeforeRead = -1;
    Qt::CursorShape pointer = Qt::ArrowCursor;
    main->beforeReread = [&] {
        paintedBeforeRead = paints.count;
        if (const QCursor* c = QApplication::overrideCursor()) pointer = c->shape();
    };
    click("cmdRedraw");
    EXPECT_GT(paintedBeforeRead, 0) << "the toolbar still looked enabled while the map was read";
    EXPECT_EQ(pointer, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Keyboard, TheMenuShortcutsWinOverTheGroundLevelBox) {
    openRamp(48, 24);
    ASSERT_EQ(QApplication::focusWidget(), child<QWidget>("txtGroundLevel"));
    prompter.fileNames.push_back("");  // the save dialog cancelled
    press(Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(lastShown().kind, "save");
    EXPECT_EQ(child<QLineEdit>("txtGroundLevel")->text(), "128");
}

TEST_F(Keyboard, ADroppedSaveAsKeepsTheTypeSaveWrites) {
    const std::string path = openRamp(48, 24);
    const HeightImage result = flattenAndRedraw();
    const auto bitsPerPixel = [](const std::string& file) { return int(readFile(file).at(28)); };
    ASSERT_EQ(bitsPerPixel(path), 24);
    // Save As onto the map's own name as 8-bit grey BMP, the overwrite declined.
    main->showOverWriteModally = [&](FrmOverWrite& d) { in<QPushButton>(d, "Command2")->click(); };
    prompter.fileNames.push_back(path);
    prompter.saveTypes.push_back(3);
    press(Qt::Key_A, Qt::ControlModifier);
    // Save As as 8-bit grey PNG into a folder that is not there: the write fails.
    prompter.fileNames.push_back(dir.file("gone/out.png"));
    prompter.saveTypes.push_back(4);
    prompter.answers.push_back(mb::Ignore);  // the error box of the failed write
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(std::filesystem::exists(dir.file("gone/out.png")));

    // Save writes what the map was read as, 24-bit BMP, over its own file.
    main->showOverWriteModally = [&](FrmOverWrite& d) { in<QPushButton>(d, "Command1")->click(); };
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(bitsPerPixel(path), 24);
    EXPECT_EQ(*loadPictureFile(path), result);
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
}

TEST_F(Keyboard, ALevelTypedAfterAClickInTheBoxReachesMakeNewContours) {
    openRamp(256, 8);  // the grey level of column x is x
    click("chkShowCoast");
    click("txtGroundLevel");  // the click selects the whole text, as the focus key would
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("100"));
    press(Qt::Key_Return);
    EXPECT_EQ(child<QLineEdit>("txtGroundLevel")->text(), "100");
    click("cmdNewCoast");
    const HeightImage& contours = *main->document().dispCL.image;
    for (int y = 0; y < 8; ++y) {
        EXPECT_EQ(contours.pixel(100, y), 0) << y;
        EXPECT_EQ(fcnGrayLevel(contours.pixel(128, y)), 128) << y;
    }
}

TEST_F(Keyboard, TheOverwriteDialogAnswersTheFocusedButtonAndItsLetters) {
    const std::string path = openRamp(48, 24);
    struct Row { std::vector<Qt::Key> keys; const char* answer; };
    const Row table[] = {
        {{Qt::Key_Return}, "7"},  // No has the focus
        {{Qt::Key_Escape}, "2"},
        {{Qt::Key_Tab, Qt::Key_Return}, "6"},  // Tab from No to Yes, then Enter
        {{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return}, "2"},  // on to Cancel
        {{Qt::Key_Y}, "6"},
        {{Qt::Key_N}, "7"},
        {{Qt::Key_C}, "2"},
    };
    for (const Row& row : table) {
        flattenAndRedraw();
        const HeightImage result = *main->document().disp.image;
        writePair("hills.bmp", rampImage(48, 24));
        main->showOverWriteModally = [&](FrmOverWrite& d) {
            d.show();
            d.activateWindow();
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == in<QWidget>(d, "Command2"); }));
            for (Qt::Key key : row.keys) press(key);
            EXPECT_FALSE(d.isVisible());
        };
        activate();
        press(Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(main->overwriteAnswer(), row.answer) << row.keys.size() << " " << row.keys.front();
        EXPECT_EQ(*loadPictureFile(path) == result, std::string(row.answer) == "6") << row.answer;
    }
}

TEST_F(Keyboard, TheBarsWithTheirHighEndAtTheTopRiseWhenMovedUp) {
    openRamp(48, 24);
    // A click on the up arrow, the down arrow or the trough just below the up
    // arrow; a key where the bar has the focus; a wheel turned up.
    struct Row { const char* bar; int start; const char* how; int expected; };
    const Row table[] = {
        {"vsbGroundLevel", 128, "up arrow", 129}, {"vsbGroundLevel", 128, "down arrow", 127},
        {"vsbGroundLevel", 128, "Up", 129},       {"vsbGroundLevel", 128, "PageDown", 127},
        {"vsbGroundLevel", 128, "wheel", 129},    {"vsbValleys", 100, "up arrow", 100},
        {"vsbValleys", 100, "down arrow", 95},    {"vsbValleys", 50, "up arrow", 55},
        {"vsbValleys", 50, "trough", 70},         {"vsbValleys", 50, "Up", 55},
        {"vsbValleys", 50, "PageUp", 70},         {"vsbValleys", 50, "wheel", 65},
        {"vsbMountains", 50, "up arrow", 45},  // the mountains bar has its low end at the top, as a plain bar
    };
    const std::map<std::string, Qt::Key> keys = {{"Up", Qt::Key_Up}, {"PageUp", Qt::Key_PageUp}, {"PageDown", Qt::Key_PageDown}};
    for (const Row& row : table) {
        auto* bar = child<QScrollBar>(row.bar);
        bar->setValue(row.start);
        const int w = bar->width();  // the arrows are square
        const std::map<std::string, int> clickAt = {{"up arrow", w / 2}, {"down arrow", bar->height() - w / 2}, {"trough", w + 3}};
        if (clickAt.count(row.how)) {
            QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(w / 2, clickAt.at(row.how)));
        } else if (keys.count(row.how)) {
            bar->setFocus();
            press(keys.at(row.how));
        } else {
            const QPointF at(w / 2.0, bar->height() / 2.0);
            QWheelEvent up(at, bar->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(bar, &up);
        }
        EXPECT_EQ(bar->value(), row.expected) << row.bar << " from " << row.start << " by " << row.how;
    }
    EXPECT_EQ(s.gintGroundLevel, 129);
    EXPECT_EQ(child<QLineEdit>("txtGroundLevel")->text(), "129");
    EXPECT_EQ(child<QCheckBox>("chkFill")->text(), "Fill in Valleys by 65%");
}

TEST_F(Keyboard, TheBarsTellTheirNameAndValueAndScaleUpKeepsTheToolbarStill) {
    openRamp(48, 24);
    child<QScrollBar>("vsbValleys")->setValue(50);
    child<QScrollBar>("vsbGroundLevel")->setValue(77);
    EXPECT_EQ(child<QScrollBar>("vsbValleys")->toolTip(), "Valleys: 50 %");
    EXPECT_EQ(child<QScrollBar>("vsbMountains")->toolTip(), "Mountains: 0 %");
    EXPECT_EQ(child<QScrollBar>("vsbGroundLevel")->toolTip(), "Ground level: 77");

    QCoreApplication::processEvents();
    const QPoint redrawAt = child<QWidget>("cmdRedraw")->pos();
    click("cmdScale");
    QCoreApplication::processEvents();
    ASSERT_TRUE(child<QPushButton>("cmdScale")->font().bold());
    EXPECT_EQ(child<QWidget>("cmdRedraw")->pos(), redrawAt);

    // Close clears the mouse readout with the picture it spoke of.
    moveOver(picture()->picDisp(), 3, 3);
    EXPECT_EQ(statusText().rfind("X: 3", 0), 0u);
    action("mnuFileClose")->trigger();
    EXPECT_EQ(statusText(), "");
}

TEST_F(Keyboard, TheCalculatorStartsEmptyEachTimeAndAnswers) {
    int shown = 0;
    main->showCalcImgSizeModally = [&](FrmCalcImgSize& d) {
        ++shown;
        for (const char* field : {"txtHorzBoards", "txtVertBoards", "txtHorzSize", "txtVertSize"})
            EXPECT_EQ(in<QLineEdit>(d, field)->text(), "") << field << " showing " << shown;
        typeIn(d, "txtHorzBoards", "5");
        typeIn(d, "txtHorzSize", "1024");
        typeIn(d, "txtVertSize", "512");
        clickIn(d, "cmdCalc");
        EXPECT_EQ(in<QLineEdit>(d, "txtHorzBoards")->text(), "7");
        EXPECT_EQ(in<QLineEdit>(d, "txtVertBoards")->text(), "3");
        EXPECT_EQ(in<QLabel>(d, "lblAnswer_0")->text(),
                  "Your image should be 1008px Wide, by 432px High to match Trainz image size requirements.");
        EXPECT_EQ(in<QLabel>(d, "lblAnswer_1")->text(),
                  "Your layout should be 7bbs Wide, by 3bbs High. See Number of Boards answer.");
    };
    action("mnuToolsCalcImgSize")->trigger();
    action("mnuToolsCalcImgSize")->trigger();
    EXPECT_EQ(shown, 2);
}

}  // namespace
}  // namespace morv::test
