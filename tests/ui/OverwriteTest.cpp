// Saving over an existing file: the "File Already Exists" dialog.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "engine/ImageIO.h"
#include "ui/FrmOverWrite.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

/// What a user does in the dialog: tick the box or not, then press a button.
struct Answer {
    bool tick;
    const char* button;
};

class Overwrite : public UiTest {
protected:
    Overwrite() {
        path = openRamp(48, 24);
        click("chkFlatten");
        child<QScrollBar>("vsbMountains")->setValue(60);
        click("cmdRedraw");
        result = *main->document().disp.image;
    }
    /// File > Save with the user answering the dialog once; returns how often it was shown.
    int saveAnswering(const Answer& a) {
        int shown = 0;
        main->showOverWriteModally = [&](FrmOverWrite& d) {
            ++shown;
            EXPECT_FALSE(d.findChild<QCheckBox*>(QStringLiteral("Check1"))->isChecked());
            if (a.tick) d.findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
            if (a.button) {
                d.findChild<QPushButton*>(QString::fromUtf8(a.button))->click();
            } else {
                d.show();
                d.close();
            }
        };
        action("mnuFileSave")->trigger();
        return shown;
    }
    bool written() const { return *loadPictureFile(path) == result; }
    std::string path;
    HeightImage result;
};

TEST_F(Overwrite, YesReplacesTheFileAndKeepsAsking) {
    EXPECT_EQ(saveAnswering({false, "Command1"}), 1);
    EXPECT_TRUE(written());
    EXPECT_EQ(main->overwriteAnswer(), "6");
    EXPECT_TRUE(s.gblnOverwriteNotify);
    EXPECT_TRUE(action("mnuOptionsOverwrite")->isChecked());
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
}

TEST_F(Overwrite, YesWithTheBoxTickedStopsAsking) {
    saveAnswering({true, "Command1"});
    EXPECT_TRUE(written());
    EXPECT_FALSE(s.gblnOverwriteNotify);
    EXPECT_FALSE(action("mnuOptionsOverwrite")->isChecked());
    click("cmdRedraw");
    EXPECT_EQ(saveAnswering({false, "Command3"}), 0);
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
}

TEST_F(Overwrite, NoWritesNothing) {
    saveAnswering({false, "Command2"});
    EXPECT_FALSE(written());
    EXPECT_EQ(main->overwriteAnswer(), "7");
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
    EXPECT_TRUE(s.gblnOverwriteNotify);
}

TEST_F(Overwrite, NoWithTheBoxTickedWritesNothingAndStopsAsking) {
    saveAnswering({true, "Command2"});
    EXPECT_FALSE(written());
    EXPECT_FALSE(s.gblnOverwriteNotify);
    EXPECT_FALSE(action("mnuOptionsOverwrite")->isChecked());
}

TEST_F(Overwrite, CancelNeverChangesTheOption) {
    saveAnswering({true, "Command3"});
    EXPECT_FALSE(written());
    EXPECT_EQ(main->overwriteAnswer(), "2");
    EXPECT_TRUE(s.gblnOverwriteNotify);
    EXPECT_TRUE(action("mnuOptionsOverwrite")->isChecked());
}

TEST_F(Overwrite, ClosedByItsCloseControlItAnswersCancel) {
    saveAnswering({false, "Command2"});
    saveAnswering({false, "Command1"});
    click("cmdRedraw");
    result = *main->document().disp.image;
    // The last answer was Yes; closing the dialog must not reuse it.
    EXPECT_EQ(saveAnswering({true, nullptr}), 1);
    EXPECT_EQ(main->overwriteAnswer(), "2");
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
    EXPECT_TRUE(s.gblnOverwriteNotify);
}

TEST_F(Overwrite, InItsOwnLoopEnterAnswersNoAndEscCancel) {
    for (auto [key, answer] : {std::pair{Qt::Key_Return, "7"}, std::pair{Qt::Key_Escape, "2"}}) {
        main->showOverWriteModally = [](FrmOverWrite& d) { d.exec(); };
        QTimer::singleShot(0, [key = key] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("File Already Exists"));
            EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                      QStringLiteral("The file already exists. Do you want to overwrite?"));
            EXPECT_TRUE(dialog->findChild<QPushButton*>(QStringLiteral("Command2"))->isDefault());
            QTest::keyClick(dialog, key);
        });
        action("mnuFileSave")->trigger();
        EXPECT_EQ(main->overwriteAnswer(), answer);
        EXPECT_FALSE(written());
    }
}

TEST_F(Overwrite, TheOptionsEntryTogglesTheQuestion) {
    action("mnuOptionsOverwrite")->trigger();
    EXPECT_FALSE(s.gblnOverwriteNotify);
    EXPECT_FALSE(action("mnuOptionsOverwrite")->isChecked());
    EXPECT_EQ(saveAnswering({false, "Command3"}), 0);
    EXPECT_TRUE(written());
    action("mnuOptionsOverwrite")->trigger();
    EXPECT_TRUE(s.gblnOverwriteNotify);
    EXPECT_TRUE(action("mnuOptionsOverwrite")->isChecked());
}

}  // namespace
}  // namespace morv::test
