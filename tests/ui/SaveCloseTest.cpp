// Saving the result, the "File Already Exists" dialog, and closing the image with
// the unsaved-changes question.
#include "ui/FrmOverWrite.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class SaveClose : public UiTest {
protected:
    SaveClose() {
        path = openRamp(48, 24);
        result = flattenAndRedraw();
        main->showOverWriteModally = [](FrmOverWrite&) { ADD_FAILURE() << "unexpected overwrite question"; };
    }
    /// Answers the overwrite dialog: ticks its box or not, then presses a button
    /// (null: its close control); returns how often it was shown.
    int answerOverwrite(bool tick, const char* button, const char* menu = "mnuFileSave") {
        int shown = 0;
        main->showOverWriteModally = [&](FrmOverWrite& d) {
            ++shown;
            auto* box = in<QCheckBox>(d, "Check1");
            EXPECT_FALSE(box->isChecked());
            box->setChecked(tick);
            if (button) {
                in<QPushButton>(d, button)->click();
            } else {
                d.show();
                d.close();
            }
        };
        action(menu)->trigger();
        return shown;
    }
    bool written() const { return *loadPictureFile(path) == result; }
    std::string path;
    HeightImage result;
};

TEST_F(SaveClose, SaveAsDeclinedKeepsTheFilesAndAcceptedWritesBoth) {
    prompter.fileNames.push_back(path);
    answerOverwrite(false, "Command2", "mnuFileSaveAs");
    EXPECT_FALSE(written());
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
    EXPECT_EQ(s.gstrImageFile, path);
    EXPECT_EQ(main->document().dialogFileName, path);

    const std::string target = dir.file("out.bmp");
    prompter.fileNames.push_back(target);
    action("mnuFileSaveAs")->trigger();
    EXPECT_EQ(lastShown().text, s.gstrResultName);  // the dialog offers the result's name
    EXPECT_EQ(*loadPictureFile(target), result);
    EXPECT_EQ(*loadPictureFile(dir.file("outCL.bmp")), *main->document().dispCL.image);
    EXPECT_EQ(s.gstrImageFile, target);
}

TEST_F(SaveClose, TheOverwriteAnswerAndBoxDecideWriteAndAsking) {
    struct Row { bool tick; const char* button; bool written; const char* answer; bool stillAsks; };
    const Row table[] = {
        {false, "Command1", true, "6", true},  {true, "Command1", true, "6", false},
        {false, "Command2", false, "7", true}, {true, "Command2", false, "7", false},
        {false, "Command1", true, "6", true},  {true, nullptr, false, "2", true},  // closing must not reuse the Yes
        {true, "Command3", false, "2", true},
    };
    for (const Row& row : table) {
        if (!s.gblnOverwriteNotify) action("mnuOptionsOverwrite")->trigger();
        writePair("hills.bmp", rampImage(48, 24));
        click("cmdRedraw");
        EXPECT_EQ(answerOverwrite(row.tick, row.button), 1);
        const std::string what = std::string(row.button ? row.button : "close") + (row.tick ? " ticked" : "");
        EXPECT_EQ(written(), row.written) << what;
        EXPECT_EQ(action("mnuFileSave")->isEnabled(), !row.written) << what;
        EXPECT_EQ(main->overwriteAnswer(), row.answer) << what;
        EXPECT_EQ(s.gblnOverwriteNotify, row.stillAsks) << what;
        EXPECT_EQ(action("mnuOptionsOverwrite")->isChecked(), row.stillAsks) << what;
    }
    action("mnuOptionsOverwrite")->trigger();
    EXPECT_FALSE(action("mnuOptionsOverwrite")->isChecked());
    EXPECT_EQ(answerOverwrite(false, "Command3"), 0);
    EXPECT_TRUE(written());
}

TEST_F(SaveClose, ClosingAnUnsavedResultAsksFirstWhicheverWayItIsClosed) {
    for (int way : {0, 1, 2}) {  // the menu, the picture window's close control, the main window's
        prompter.answers.push_back(mb::Cancel);
        if (way == 0)
            action("mnuFileClose")->trigger();
        else
            EXPECT_FALSE(way == 1 ? picture()->close() : main->close());
        EXPECT_EQ(lastShown().title, "FILE NOT SAVED");
        EXPECT_EQ(lastShown().style, 35);
        ASSERT_NE(picture(), nullptr);
        EXPECT_TRUE(main->isVisible());
    }
    prompter.answers.push_back(mb::Yes);
    prompter.fileNames.push_back("");  // the save dialog cancelled
    action("mnuFileClose")->trigger();
    ASSERT_NE(picture(), nullptr);
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());

    prompter.answers.push_back(mb::Yes);
    prompter.fileNames.push_back(dir.file("kept.bmp"));
    action("mnuFileClose")->trigger();
    EXPECT_EQ(picture(), nullptr);
    EXPECT_EQ(*loadPictureFile(dir.file("kept.bmp")), result);

    open(path);
    flattenAndRedraw();
    prompter.answers.push_back(mb::No);
    action("mnuFileClose")->trigger();
    EXPECT_EQ(picture(), nullptr);
    EXPECT_FALSE(child<QWidget>("picMainToolbar")->isVisible());
    EXPECT_EQ(*loadPictureFile(path), rampImage(48, 24));
}

}  // namespace
}  // namespace morv::test
