// The file dialogs as a user meets them: a typed name that is not there goes back
// to Open, which tells the user itself, and Save As starts on the entry Open
// preselects.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>

#include "ui/FrmOverWrite.h"
#include "ui/QtPrompter.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

/// Puts name into the dialog's file name field and presses its Open or Save button.
void typeName(QFileDialog& d, const std::string& name) {
    auto* field = in<QLineEdit>(d, "fileNameEdit");
    auto* buttons = in<QDialogButtonBox>(d, "buttonBox");
    ASSERT_NE(field, nullptr);
    ASSERT_NE(buttons, nullptr);
    field->setText(QString::fromStdString(name));
    QAbstractButton* accept = buttons->button(d.acceptMode() == QFileDialog::AcceptOpen ? QDialogButtonBox::Open : QDialogButtonBox::Save);
    ASSERT_NE(accept, nullptr);
    // A box of the dialog's own ("File not found") would wait for an answer: note and close it.
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "the file dialog said: " << box->text().toStdString();
            box->buttons().front()->click();
        }
    });
    boxWatch.start(5);
    QTest::mouseClick(accept, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return !d.isVisible(); }, 5000)) d.reject();
}

TEST(FileDialogs, OpenTakesAnyTypedNameAndSaveAsStartsOnTheFilterOpenChose) {
    TempDir dir;
    QtPrompter prompter;
    const char* filter = "*.bmp|*.bmp|*.jpg|*.jpg|Images: bmp, jpg|*.bmp;*.jpg";
    QString openFilter, saveFilter;
    onModal<QFileDialog>([&](QFileDialog& d) {
        openFilter = d.selectedNameFilter();
        typeName(d, dir.file("missing.bmp"));
    });
    EXPECT_EQ(prompter.openFileName(filter, 3, dir.file("")), dir.file("missing.bmp"));
    // Save As: Open's entries first, the third preselected; the entry the user
    // picks comes back as the type.
    const std::vector<std::string> types = {"*.bmp (*.bmp)", "*.jpg (*.jpg)", "Images: bmp, jpg (*.bmp *.jpg)",
                                            "8-bit grey PNG (*.png)"};
    onModal<QFileDialog>([&](QFileDialog& d) {
        saveFilter = d.selectedNameFilter();
        auto* typeBox = in<QComboBox>(d, "fileTypeCombo");
        ASSERT_NE(typeBox, nullptr);
        typeBox->setFocus();
        QTest::keyClick(typeBox, Qt::Key_Down);
        typeName(d, dir.file("result.png"));
    });
    int typeIndex = 2;
    EXPECT_EQ(prompter.saveFileNameOfType(dir.file("hills.bmp"), types, typeIndex), dir.file("result.png"));
    EXPECT_EQ(openFilter, "Images: bmp, jpg (*.bmp *.jpg)");
    EXPECT_EQ(saveFilter, "Images: bmp, jpg (*.bmp *.jpg)");
    EXPECT_EQ(typeIndex, 3);
}

using FileNames = UiTest;

TEST_F(FileNames, SaveAsAfterCloseOffersTheNewMapsOwnNameAndAHiddenMapOpens) {
    openRamp(48, 24);
    flattenAndRedraw();
    prompter.answers.push_back(mb::No);  // close without saving
    action("mnuFileClose")->trigger();
    const std::string other = writePair(".other.bmp", rampImage(40, 40));
    prompter.answers.push_back(mb::OK);  // 40 px is not whole base boards
    open(other);
    ASSERT_NE(picture(), nullptr) << lastShown().title;
    prompter.fileNames.push_back("");
    action("mnuFileSaveAs")->trigger();
    EXPECT_EQ(lastShown().kind, "save");
    EXPECT_EQ(lastShown().text, other);
}

TEST_F(FileNames, AJpegMapIsSavedAsBmpUnderANameGivenAnExtension) {
    // Its contour map beside it opens with it: no question.
    const std::string jpeg = dir.file("terrain.jpeg");
    const HeightImage ramp = rampImage(48, 24), white(48, 24, 255);
    savePictureFiles({{&ramp, jpeg}, {&white, dir.file("terrainCL.jpeg")}});
    const std::string before = readFile(jpeg);
    open(jpeg);
    const HeightImage result = flattenAndRedraw();
    main->showOverWriteModally = [](FrmOverWrite&) { ADD_FAILURE() << "Save went for the .jpeg file"; };
    prompter.fileNames.push_back(dir.file("terrain"));
    action("mnuFileSave")->trigger();
    ASSERT_EQ(lastShown().kind, "save");
    EXPECT_EQ(lastShown().text, dir.file("terrain_48x24_MF-60_B-0.bmp"));
    EXPECT_EQ(readFile(jpeg), before);
    EXPECT_EQ(*loadPictureFile(dir.file("terrain.bmp")), result);
    EXPECT_TRUE(std::filesystem::exists(dir.file("terrainCL.bmp")));
    EXPECT_EQ(s.gstrImageFile, dir.file("terrain.bmp"));
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
}

}  // namespace
}  // namespace morv::test
