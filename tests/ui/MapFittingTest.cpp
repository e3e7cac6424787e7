// Fit to Boards, Export Asset and the 16-bit levels dialog, worked from the
// keyboard as a user would.
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QSettings>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <filesystem>

#include "io/Files.h"
#include "ui/FrmExportAsset.h"
#include "ui/FrmFitBoards.h"
#include "ui/FrmLevels.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class MapFitting : public UiTest {
protected:
    /// File > Export Asset with keys typed into its dialog.
    void exportAsset(const Keys& keys) {
        bool shown = false;
        main->showExportAssetModally = [&](FrmExportAsset& d) { return drive(d, (shown = true, keys)); };
        action("mnuFileExportAsset")->trigger();
        EXPECT_TRUE(shown);
    }

    /// Tools > Fit to Boards with keys typed into its dialog.
    void fitToBoards(const Keys& keys) {
        bool shown = false;
        main->showFitBoardsModally = [&](FrmFitBoards& d) { return drive(d, (shown = true, keys)); };
        action("mnuToolsFitBoards")->trigger();
        EXPECT_TRUE(shown);
    }

    static void type(QDialog& d, const std::string& text) { QTest::keyClicks(d.focusWidget(), QString::fromStdString(text)); }
    /// A 16-bit grey PNG map of samples, with a white contour map beside it.
    std::string writeDeepMap(const std::vector<std::uint16_t>& samples) {
        QImage q(int(samples.size()), 2, QImage::Format_Grayscale16);
        for (int y = 0; y < 2; ++y)
            for (std::size_t x = 0; x < samples.size(); ++x) reinterpret_cast<std::uint16_t*>(q.scanLine(y))[x] = samples[x];
        const std::string path = dir.file("deep.png");
        EXPECT_TRUE(q.save(QString::fromStdString(path), "PNG"));
        savePictureFile(HeightImage(q.width(), 2, 255), contourPathFor(path), PictureType::Png8);
        return path;
    }
    /// Opens a map, answering the levels dialog with keys.
    void openDeep(const std::string& path, const Keys& keys) {
        main->showLevelsModally = [&](FrmLevels& d) {
            shownFound = in<QLabel>(d, "lblFound")->text().toStdString();
            return drive(d, keys);
        };
        open(path);
    }
    std::vector<int> topRow() const {
        std::vector<int> levels;
        const HeightImage& img = *main->document().disp.image;
        for (int x = 0; x < img.width(); ++x) levels.push_back(fcnGrayLevel(img.pixel(x, 0)));
        return levels;
    }
    std::string shownFound;
};

TEST_F(MapFitting, FitsToWholeBoardsOnBothGridsAndNamesTheFit) {
    EXPECT_FALSE(action("mnuToolsFitBoards")->isEnabled());
    EXPECT_FALSE(action("mnuFileExportAsset")->isEnabled());
    openRamp(600, 450);
    flattenAndRedraw(60);
    child<QCheckBox>("chkFlatten")->click();  // what the controls say now is not what was drawn

    // The dialog offers the nearest boards (4 x 3 on the 5 m grid, scaled): Enter takes them.
    fitToBoards([](QDialog& d) { press(d, Qt::Key_Return); });
    EXPECT_EQ(main->document().disp.image->width(), 576);
    EXPECT_EQ(main->document().disp.image->height(), 432);
    EXPECT_EQ(main->document().dispCL.image->width(), 576);
    EXPECT_EQ(s.gstrResultName, dir.file("hills_576x432_MF-60_B-0_FB-4x3.bmp"));
    EXPECT_EQ(picture()->windowTitle().toStdString(), "Morv: " + s.gstrResultName);
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());

    // 9 x 7 boards of the 10 m grid, padded with the ground level.
    typeGroundLevel("90");
    fitToBoards([](QDialog& d) {
        type(d, "9");
        press(d, Qt::Key_Tab);
        type(d, "7");
        press(d, Qt::Key_1, Qt::AltModifier);  // the 10 m grid
        press(d, Qt::Key_P, Qt::AltModifier);  // Pad
        EXPECT_EQ(in<QLabel>(d, "lblResult")->text(), "The result will be 649 x 505 pixels.");
        press(d, Qt::Key_Return);
    });
    ASSERT_EQ(picture()->picDisp()->size(), QSize(649, 505));
    EXPECT_EQ(main->document().dispCL.image->height(), 505);
    EXPECT_EQ(s.gstrResultName, dir.file("hills_649x505_MF-60_B-0_FB10-9x7.bmp"));
    const QImage shown = picture()->picDisp()->grab().toImage();
    EXPECT_EQ(qGray(shown.pixel(0, 0)), 90);  // the padding
    EXPECT_EQ(qGray(shown.pixel(324, 252)), fcnGrayLevel(main->document().disp.image->pixel(324, 252)));

    // Cropping cannot grow the map to the 5 x 4 boards offered: the dialog says so
    // and Enter does nothing until the choice can be made.
    const std::size_t boxes = prompter.shown.size();
    fitToBoards([](QDialog& d) {
        press(d, Qt::Key_C, Qt::AltModifier);
        EXPECT_EQ(in<QLabel>(d, "lblResult")->text(),
                  "Cropping cannot make 649 x 505 pixels into 720 x 576 pixels. Choose Pad or Scale, or fewer boards.");
        press(d, Qt::Key_Return);
        EXPECT_TRUE(d.isVisible());
        press(d, Qt::Key_Escape);
    });
    EXPECT_EQ(prompter.shown.size(), boxes);
    EXPECT_EQ(picture()->picDisp()->size(), QSize(649, 505));

    prompter.answers.push_back(mb::No);  // close without saving
    action("mnuFileClose")->trigger();
    EXPECT_FALSE(action("mnuToolsFitBoards")->isEnabled());
}

TEST_F(MapFitting, ChangingTheMethodUpdatesResultAndOkAtOnce) {
    openRamp(600, 450);
    flattenAndRedraw(60);
    // 4 x 3 boards (576 x 432) are offered: cropping and scaling can make them, padding cannot.
    fitToBoards([](QDialog& d) {
        const auto* result = in<QLabel>(d, "lblResult");
        const auto* ok = in<QPushButton>(d, "cmdOK");
        const QString fits = QStringLiteral("The result will be 576 x 432 pixels.");
        const QString refused = QStringLiteral(
            "Padding cannot make 600 x 450 pixels into 576 x 432 pixels. Choose Crop or Scale, or more boards.");
        // A click on the button's round mark, where it takes the click however wide the button stands.
        auto choose = [&](const char* method) {
            auto* button = in<QRadioButton>(d, method);
            QStyleOptionButton mark;
            mark.initFrom(button);
            const QRect at = button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &mark, button);
            QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at.center());
        };
        struct Step { const char* method; bool allowed; };
        const Step steps[] = {{"optPad", false}, {"optScale", true}, {"optPad", false},
                              {"optCrop", true}, {"optScale", true}, {"optCrop", true}};
        for (const Step& step : steps) {
            choose(step.method);
            EXPECT_EQ(result->text(), step.allowed ? fits : refused) << step.method;
            EXPECT_EQ(ok->isEnabled(), step.allowed) << step.method;
        }
        choose("optPad");
        press(d, Qt::Key_Escape);
    });
    EXPECT_EQ(main->document().disp.image->width(), 600);
}

TEST_F(MapFitting, ExportAssetAsksNameKuidAndGroundKeepsIds) {
    ownSettings();  // the user id is remembered there
    openRamp(300, 200);
    const HeightImage drawn = flattenAndRedraw(60);
    const std::string folder = dir.file("asset");
    const std::string name = "hills_300x200_MF-60_B-0";
    auto files = [](QDialog& d) { return in<QLabel>(d, "lblFiles")->text().toStdString(); };
    auto text = [](QDialog& d, const char* field) { return in<QLineEdit>(d, field)->text().toStdString(); };
    exportAsset([&](QDialog& d) {
        EXPECT_EQ(text(d, "txtFolder"), dir.path().string() + "/");  // the map's folder
        EXPECT_EQ(text(d, "txtAssetName"), name);
        EXPECT_EQ(text(d, "txtUserId"), "");
        EXPECT_EQ(text(d, "txtContentId"), "") << "none yet: made from the name";
        EXPECT_EQ(in<QSpinBox>(d, "spnGround")->value(), s.gintGroundLevel);
        prompter.fileNames.push_back(folder);
        press(d, Qt::Key_O, Qt::AltModifier);  // Browse
        EXPECT_EQ(prompter.shown.back().text, dir.path().string() + "/");  // Browse starts there too
        press(d, Qt::Key_U, Qt::AltModifier);
        type(d, "4142X");
        EXPECT_EQ(files(d), "The user id must be a whole number from 1 to 2147483647.");
        EXPECT_FALSE(in<QPushButton>(d, "cmdExport")->isEnabled());
        press(d, Qt::Key_Backspace);
        type(d, "3");
        press(d, Qt::Key_C, Qt::AltModifier);
        type(d, "77");
        // The ground this brush keeps: 127, where the ramp's levels need no squeezing.
        press(d, Qt::Key_G, Qt::AltModifier);
        press(d, Qt::Key_A, Qt::ControlModifier);
        type(d, "127");
        EXPECT_EQ(files(d), "Writes into " + folder + "/:\n  " + name + ".png\n  thumbnail.jpg\n  config.txt, kuid <kuid:41423:77>");
        press(d, Qt::Key_Return);
    });
    EXPECT_EQ(*loadPictureFile(folder + "/" + name + ".png"), drawn);
    const std::string config = readFile(folder + "/config.txt");
    EXPECT_EQ(config.rfind("kuid                                    <kuid:41423:77>\n", 0), 0u);
    EXPECT_NE(config.find("Level 127 was the map's ground level 127."), std::string::npos);

    // Again: the user id is offered as it was given, the content id after the last.
    std::filesystem::remove(folder + "/thumbnail.jpg");
    exportAsset([&](QDialog& d) {
        EXPECT_EQ(text(d, "txtUserId"), "41423");
        EXPECT_EQ(text(d, "txtContentId"), "78");
        press(d, Qt::Key_Return);
    });
    prompter.answers.push_back(mb::No);
    exportAsset([&](QDialog& d) {
        press(d, Qt::Key_F, Qt::AltModifier);
        press(d, Qt::Key_A, Qt::ControlModifier);
        type(d, folder);
        press(d, Qt::Key_Return);
    });
    EXPECT_EQ(lastShown().title, "Export Asset");
    EXPECT_EQ(lastShown().text, "The folder " + folder + "/ already holds " + name + ".png, config.txt.\r\r" +
                                    "Do you want to replace them?");
    EXPECT_FALSE(std::filesystem::exists(folder + "/thumbnail.jpg"));

    // A folder that cannot be made: told, and nothing written.
    savePictureFile(drawn, dir.file("blocker"));
    prompter.answers.push_back(mb::OK);
    exportAsset([&](QDialog& d) {
        press(d, Qt::Key_F, Qt::AltModifier);
        press(d, Qt::Key_A, Qt::ControlModifier);
        type(d, dir.file("blocker/asset"));
        press(d, Qt::Key_Return);
    });
    EXPECT_EQ(lastShown().title, "Export Asset");
    EXPECT_EQ(lastShown().style, mb::OKOnly + mb::Critical);
    EXPECT_EQ(lastShown().text.rfind("The asset could not be written.\r\r", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("blocker")));

    // An emptied id is forgotten; Esc then writes nothing.
    exportAsset([&](QDialog& d) {
        press(d, Qt::Key_U, Qt::AltModifier);
        press(d, Qt::Key_A, Qt::ControlModifier);
        press(d, Qt::Key_Backspace);
        EXPECT_NE(files(d).find("kuid <kuid:YOUR-USER-ID:81>"), std::string::npos) << files(d);
        press(d, Qt::Key_Escape);
    });
    EXPECT_EQ(QSettings().value(QStringLiteral("asset/userId")).toString(), "41423") << "cancelled: kept";
}

TEST_F(MapFitting, SixteenBitMapsAskForTheirLevelsAndCancelKeepsTheOpenMap) {
    // Samples 1000..6100: 20 units a level over the range found.
    const std::vector<std::uint16_t> samples{1000, 2500, 3000, 3550, 6100};
    const std::string deep = writeDeepMap(samples);

    // A height past 65535, typed or pasted, shows whole and is refused.
    openDeep(deep, [](QDialog& d) {
        auto* high = in<QLineEdit>(d, "txtHigh");
        auto* per = in<QLabel>(d, "lblPerLevel");
        press(d, Qt::Key_Tab);
        type(d, "300000");
        EXPECT_EQ(high->text(), "300000");
        EXPECT_EQ(per->text(), "300000 is not a 16-bit height: they go from 0 to 65535.");
        EXPECT_FALSE(in<QPushButton>(d, "cmdOK")->isEnabled());
        press(d, Qt::Key_Return);  // refused: the dialog stays
        EXPECT_TRUE(d.isVisible());
        press(d, Qt::Key_A, Qt::ControlModifier);
        type(d, "7");
        ASSERT_EQ(high->text(), "7");
        QApplication::clipboard()->setText(QStringLiteral("300000"));
        press(d, Qt::Key_A, Qt::ControlModifier);
        press(d, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(high->text(), "300000");
        press(d, Qt::Key_Escape);
    });
    EXPECT_EQ(picture(), nullptr);

    openDeep(deep, [](QDialog& d) { press(d, Qt::Key_Return); });
    EXPECT_NE(shownFound.find("from 1000 to 6100: 20 units a grey level"), std::string::npos) << shownFound;
    EXPECT_EQ(topRow(), (std::vector<int>{0, 75, 100, 128, 255}));

    // A typed range: 2000..4000 (7.843 units a level); Redraw reads the file the same way.
    openDeep(deep, [](QDialog& d) {
        type(d, "2000");
        press(d, Qt::Key_Tab);
        type(d, "4000");
        EXPECT_EQ(in<QLabel>(d, "lblPerLevel")->text(), "7.843 units a grey level.");
        press(d, Qt::Key_Return);
    });
    const std::vector<int> typed{0, 64, 128, 198, 255};
    EXPECT_EQ(topRow(), typed);
    flattenAndRedraw(0);
    EXPECT_EQ(topRow(), typed);

    // Cancel: the open map stays open as it was, with no question about it.
    prompter.answers.push_back(mb::No);  // the redrawn map is not saved
    const std::string eight = openRamp(40, 20);
    const std::size_t boxes = prompter.shown.size();
    openDeep(deep, [](QDialog& d) { press(d, Qt::Key_Escape); });
    EXPECT_EQ(s.gstrImageFile, eight);
    EXPECT_EQ(*main->document().disp.image, rampImage(40, 20));
    EXPECT_EQ(picture()->windowTitle().toStdString(), eight);
    EXPECT_EQ(prompter.shown.size(), boxes + 1);  // only the open dialog

    // An 8-bit PNG opens without the question.
    const std::string png = dir.file("flat.png");
    savePictureFiles({{main->document().disp.image.get(), png, PictureType::Png8},
                      {main->document().disp.image.get(), contourPathFor(png), PictureType::Png8}});
    main->showLevelsModally = [](FrmLevels&) {
        ADD_FAILURE() << "asked for the levels of an 8-bit map";
        return int(QDialog::Rejected);
    };
    open(png);
    EXPECT_EQ(s.gstrImageFile, png);
}

}  // namespace
}  // namespace morv::test
