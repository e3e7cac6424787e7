// Saving the result and closing the image, with the unsaved-changes question.
#include <QPushButton>
#include <QScrollBar>
#include <filesystem>

#include "documents/Files.h"
#include "engine/ImageIO.h"
#include "ui/FrmOverWrite.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class SaveClose : public UiTest {
protected:
    SaveClose() {
        path = openRamp(48, 24);
        click("chkFlatten");
        child<QScrollBar>("vsbMountains")->setValue(60);
        click("cmdRedraw");
        result = *main->document().disp.image;
        main->showOverWriteModally = [](FrmOverWrite&) { ADD_FAILURE() << "unexpected overwrite question"; };
    }
    std::string path;
    HeightImage result;
};

TEST_F(SaveClose, SaveAsOffersTheResultNameAndWritesBothPictures) {
    const std::string target = dir.file("out.bmp");
    prompter.fileNames.push_back(target);
    action("mnuFileSaveAs")->trigger();
    EXPECT_EQ(prompter.shown.back().kind, "save");
    EXPECT_EQ(prompter.shown.back().text, s.gstrResultName);
    EXPECT_EQ(*loadPictureFile(target), result);
    EXPECT_EQ(*loadPictureFile(dir.file("outCL.bmp")), *main->document().dispCL.image);
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
    EXPECT_EQ(s.gstrImageFile, target);
    EXPECT_NE(picture()->windowTitle().indexOf(QStringLiteral("Morv: ")), -1);
}

TEST_F(SaveClose, SaveAsOntoAnExistingFileDeclinedKeepsTheSessionOnItsFiles) {
    main->showOverWriteModally = [](FrmOverWrite& d) { d.findChild<QPushButton*>(QStringLiteral("Command2"))->click(); };
    prompter.fileNames.push_back(path);
    action("mnuFileSaveAs")->trigger();
    EXPECT_EQ(*loadPictureFile(path), rampImage(48, 24));
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
    EXPECT_EQ(s.gstrImageFile, path);
    EXPECT_EQ(main->document().dialogFileName, path);
}

TEST_F(SaveClose, CloseCancelledKeepsEverythingOpen) {
    prompter.answers.push_back(mb::Cancel);
    action("mnuFileClose")->trigger();
    EXPECT_EQ(prompter.shown.back().title, "FILE NOT SAVED");
    EXPECT_EQ(prompter.shown.back().text, "The current image has not been saved.  Do you want to save the file first?");
    EXPECT_EQ(prompter.shown.back().style, 35);
    ASSERT_NE(picture(), nullptr);
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
}

TEST_F(SaveClose, CloseAnsweredNoTakesTheImageDownUnsaved) {
    click("cmdScale");
    prompter.answers.push_back(mb::No);
    action("mnuFileClose")->trigger();
    EXPECT_EQ(picture(), nullptr);
    EXPECT_FALSE(child<QWidget>("picMainToolbar")->isVisible());
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
    EXPECT_FALSE(action("mnuFileSaveAs")->isEnabled());
    EXPECT_FALSE(action("mnuFileClose")->isEnabled());
    EXPECT_EQ(child<QPushButton>("cmdScale")->property("Tag").toString(), QStringLiteral("False"));
    EXPECT_EQ(s.gstrImageFile, "");
    EXPECT_EQ(*loadPictureFile(path), rampImage(48, 24));
}

TEST_F(SaveClose, CloseAnsweredYesThenCancelInTheSaveDialogKeepsTheImageOpen) {
    prompter.answers.push_back(mb::Yes);
    prompter.fileNames.push_back("");
    action("mnuFileClose")->trigger();
    ASSERT_NE(picture(), nullptr);
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
    EXPECT_EQ(*main->document().disp.image, result);
}

TEST_F(SaveClose, CloseAnsweredYesSavesThenCloses) {
    const std::string target = dir.file("kept.bmp");
    prompter.answers.push_back(mb::Yes);
    prompter.fileNames.push_back(target);
    action("mnuFileClose")->trigger();
    EXPECT_EQ(picture(), nullptr);
    EXPECT_EQ(*loadPictureFile(target), result);
}

TEST_F(SaveClose, ThePictureWindowsCloseControlAsksFirst) {
    prompter.answers.push_back(mb::Cancel);
    EXPECT_FALSE(picture()->close());
    ASSERT_NE(picture(), nullptr);
    EXPECT_TRUE(picture()->isVisible());
    prompter.answers.push_back(mb::No);
    EXPECT_TRUE(picture()->close());
    EXPECT_EQ(picture(), nullptr);
    EXPECT_FALSE(action("mnuFileClose")->isEnabled());
}

TEST_F(SaveClose, ClosingTheMainWindowGoesThroughThePictureWindow) {
    prompter.answers.push_back(mb::Cancel);
    EXPECT_FALSE(main->close());
    EXPECT_TRUE(main->isVisible());
    prompter.answers.push_back(mb::No);
    EXPECT_TRUE(main->close());
}

}  // namespace
}  // namespace morv::test
