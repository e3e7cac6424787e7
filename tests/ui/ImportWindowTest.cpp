#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QImage>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <utility>

#include "support/DemFiles.h"
#include "ui/FrmImport.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

using ImportWindow = UiTest;

TEST_F(ImportWindow, PreviewsTheReliefThenWritesAndOpensTheNewMap) {
    // 3000 x 2200 m: a slope with a round hill in the middle.
    const std::string demPath = dir.file("hill.tif");
    writeDem(demPath, dem([](double x, double y) {
                 const double dx = x - kDemX0 - 1500, dy = y - kDemY0 + 1100;
                 return 0.02 * (x - kDemX0) + 300 * std::exp(-(dx * dx + dy * dy) / (400.0 * 400.0));
             }));
    const std::string mapPath = dir.file("hill.bmp");
    QImage preview;
    std::string report;
    main->showImportModally = [&](FrmImport& d) {
        // Without a file the window says so and stays.
        prompter.answers = {mb::OK};
        typeIn(d, "txtMapFile", mapPath);
        clickIn(d, "cmdImport");
        EXPECT_EQ(lastShown().text, "Choose at least one elevation file.");
        EXPECT_EQ(lastShown().title, "Import Elevation Data");
        prompter.fileNames.push_back(demPath);
        clickIn(d, "cmdAddDem");
        typeIn(d, "txtCrs", "EPSG:32632");
        typeIn(d, "txtGround", "150");
        QComboBox* grid = in<QComboBox>(d, "cboGrid");
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        EXPECT_EQ(grid->currentIndex(), 1);
        clickIn(d, "cmdPreview");
        preview = in<QLabel>(d, "picPreview")->grab().toImage();
        report = in<QLabel>(d, "lblReport")->text().toStdString();
        clickIn(d, "cmdImport");
    };
    action("mnuToolsImport")->trigger();

    EXPECT_EQ(report.rfind("size: 289 x 217 pixels, 4 x 3 boards (10 m grid", 0), 0u) << report;
    // The hill's lit and shaded sides make many greys in the preview.
    std::set<QRgb> greys;
    for (int y = 0; y < preview.height(); y += 4)
        for (int x = 0; x < preview.width(); x += 4) greys.insert(preview.pixel(x, y));
    EXPECT_GT(greys.size(), 20u);
    // Written, then opened as the current map with its contour image.
    ASSERT_TRUE(std::filesystem::exists(mapPath));
    EXPECT_TRUE(std::filesystem::exists(dir.file("hillCL.bmp")));
    ASSERT_NE(picture(), nullptr);
    EXPECT_EQ(s.gstrImageFile, mapPath);
    EXPECT_EQ(main->document().disp.width(), 289);
    // The ground level is the one the contour image was drawn at, not 128.
    const std::size_t at = report.find("m, level ");
    ASSERT_NE(at, std::string::npos) << report;
    const int level = std::stoi(report.substr(at + 9));
    EXPECT_NE(level, 128);
    EXPECT_EQ(s.gintGroundLevel, level);
    EXPECT_EQ(child<QLineEdit>("txtGroundLevel")->text(), QString::number(level));
}

TEST_F(ImportWindow, BoardsPastTheDataAreRefusedOrWarnedAbout) {
    // 3000 x 2200 m of slope holds 4 x 3 boards; 5 x 5 reach past it.
    const std::string demPath = dir.file("slope.tif");
    writeDem(demPath, dem([](double x, double) { return 0.02 * (x - kDemX0); }));
    std::string refusedText, warning;
    bool warningShownBefore = true;
    int redPixels = 0;
    main->showImportModally = [&](FrmImport& d) {
        prompter.fileLists = {{demPath}};
        clickIn(d, "cmdAddDem");
        typeIn(d, "txtCrs", "EPSG:32632");
        typeIn(d, "txtBoards", "5x5");
        prompter.answers = {mb::OK};
        clickIn(d, "cmdPreview");
        refusedText = lastShown().text;
        auto* label = in<QLabel>(d, "lblWarning");
        warningShownBefore = !label->isHidden();
        QComboBox* outside = in<QComboBox>(d, "cboOutside");
        outside->setFocus();
        QTest::keyClick(outside, Qt::Key_Down);
        clickIn(d, "cmdPreview");
        warning = label->isHidden() ? "" : label->text().toStdString();
        const QImage shown = label->grab().toImage();
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QColor c = shown.pixelColor(x, y);
                redPixels += c.red() > 120 && c.green() < 60 && c.blue() < 60;
            }
        clickIn(d, "cmdCancel");
    };
    action("mnuToolsImport")->trigger();
    EXPECT_EQ(refusedText.rfind("the map (5 x 5 boards) reaches past the data, which covers 4 x 3 whole boards", 0), 0u)
        << refusedText;
    EXPECT_FALSE(warningShownBefore);
    EXPECT_EQ(warning, "warning: 49.1 % of the map is not from the data (0 voids, 254400 pixels past its edge)");
    EXPECT_GT(redPixels, 20) << "the warning stands out in red";
    EXPECT_FALSE(std::filesystem::exists(dir.file("slope.bmp")));
}

/// The pixels a field shows of its hint: its own rendering, left of the frame.
QImage hintPixels(QLineEdit* e, int width) {
    return e->grab().toImage().copy(0, 0, width, e->height()).convertToFormat(QImage::Format_RGB32);
}

/// The list's files, top to bottom.
std::vector<std::string> listed(const QListWidget* list) {
    std::vector<std::string> files;
    for (int i = 0; i < list->count(); ++i) files.push_back(list->item(i)->text().toStdString());
    return files;
}

TEST_F(ImportWindow, FormHintsFilesListAndTheFirstMissingField) {
    const std::string demPath = dir.file("ridge.tif");
    writeDem(demPath, dem([](double x, double) { return 0.03 * (x - kDemX0); }));
    const std::string wrong1 = dir.file("wrong1.tif"), wrong2 = dir.file("wrong2.tif");
    main->showImportModally = [&](FrmImport& form) {
        drive(form, [&](QDialog& d) {
            auto* list = in<QListWidget>(d, "lstDemFiles");
            auto* mapFile = in<QLineEdit>(d, "txtMapFile");
            // The captions' Alt letters reach the fields beside their buttons.
            for (const auto& [key, to] : {std::pair<Qt::Key, QWidget*>{Qt::Key_M, mapFile}, {Qt::Key_E, list}, {Qt::Key_M, mapFile}}) {
                press(d, key, Qt::AltModifier);
                EXPECT_EQ(d.focusWidget(), to) << char(key);
            }
            // (The map file, which has the focus now, has no hint.)
            // Every hint shows whole before any preview: as a field wide enough for it
            // draws it, not cut short with an ellipsis.
            for (QLineEdit* e : d.findChildren<QLineEdit*>()) {
                if (e->placeholderText().isEmpty()) continue;
                QLineEdit wide;
                wide.setPlaceholderText(e->placeholderText());
                wide.resize(1000, e->height());
                const int textEnd = e->fontMetrics().horizontalAdvance(e->placeholderText()) + 4;
                EXPECT_LE(textEnd, e->width()) << e->objectName().toStdString();
                EXPECT_EQ(hintPixels(e, textEnd), hintPixels(&wide, textEnd)) << e->objectName().toStdString();
            }

            // On the empty form Import names the first field, the elevation files.
            prompter.answers = {mb::OK, mb::OK};
            clickIn(d, "cmdImport");
            ASSERT_EQ(prompter.shown.size(), 1u);
            EXPECT_EQ(lastShown().text, "Choose at least one elevation file.");

            // One dialog gives three files; the same file added again stays listed once.
            auto* remove = in<QPushButton>(d, "cmdRemoveDem");
            EXPECT_FALSE(remove->isEnabled());
            prompter.fileLists = {{wrong1, demPath, wrong2}, {demPath}};
            press(d, Qt::Key_A, Qt::AltModifier);
            EXPECT_EQ(listed(list), (std::vector<std::string>{wrong1, demPath, wrong2}));
            press(d, Qt::Key_A, Qt::AltModifier);
            EXPECT_EQ(list->count(), 3);
            // The first file by the list's keys and Alt+V, the last by Delete.
            press(d, Qt::Key_E, Qt::AltModifier);
            ASSERT_EQ(d.focusWidget(), list);
            QTest::keyClick(list, Qt::Key_Home);
            EXPECT_TRUE(remove->isEnabled());
            press(d, Qt::Key_V, Qt::AltModifier);
            EXPECT_EQ(listed(list), (std::vector<std::string>{demPath, wrong2}));
            EXPECT_EQ(d.focusWidget(), list);
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Delete);
            EXPECT_EQ(listed(list), (std::vector<std::string>{demPath}));

            // Then the map file.
            typeIn(d, "txtCrs", "EPSG:32632");
            clickIn(d, "cmdImport");
            ASSERT_EQ(prompter.shown.size(), 4u);  // the box, two file dialogs, the box
            EXPECT_EQ(lastShown().text, "Choose the map file to write.");

            // What is left is what the preview reads, with no box; its caption says its
            // steps come from the 256 levels.
            auto* caption = in<QLabel>(d, "lblPreviewCaption");
            EXPECT_FALSE(caption->isVisible());
            clickIn(d, "cmdPreview");
            EXPECT_TRUE(caption->isVisible());
            EXPECT_EQ(caption->text(), "Shaded relief after mapping to 256 levels");
        });
    };
    action("mnuToolsImport")->trigger();
    EXPECT_EQ(prompter.shown.size(), 4u);
}

TEST_F(ImportWindow, EscDuringTheImportAsksAndCancelsWithNothingWritten) {
    const std::string demPath = dir.file("slope.tif");
    writeDem(demPath, dem([](double x, double) { return 0.08 * (x - kDemX0); }));
    const std::string mapPath = dir.file("slope.bmp");
    bool importOff = false, cancelFocused = false, stillOpen = false, writtenAfterCancel = true;
    main->showImportModally = [&](FrmImport& d) {
        d.show();
        prompter.fileNames.push_back(demPath);
        clickIn(d, "cmdAddDem");
        typeIn(d, "txtCrs", "EPSG:32632");
        typeIn(d, "txtMapFile", mapPath);
        auto* import = in<QPushButton>(d, "cmdImport");
        // Esc where the focus is while the import runs, answering the question with answer.
        auto escAt = [&](int yield, int answer) {
            atYield(yield, [&, answer] {
                importOff = !import->isEnabled();
                QWidget* focus = d.focusWidget();
                cancelFocused = focus == in<QPushButton>(d, "cmdCancel");
                prompter.answers.push_back(answer);
                QTest::keyClick(focus ? focus : &d, Qt::Key_Escape);
            });
        };
        escAt(3, mb::Yes);
        QTest::mouseClick(import, Qt::LeftButton);
        stillOpen = d.isVisible();
        writtenAfterCancel = std::filesystem::exists(mapPath) || std::filesystem::exists(dir.file("slopeCL.bmp"));
        // Answered No, the import goes on to its end.
        escAt(3, mb::No);
        QTest::mouseClick(import, Qt::LeftButton);
    };
    action("mnuToolsImport")->trigger();

    ASSERT_EQ(prompter.shown.size(), 3u);  // the file dialog, then the two questions
    EXPECT_EQ(prompter.shown.front().kind, "open");
    for (const Shown& box : std::vector<Shown>(prompter.shown.begin() + 1, prompter.shown.end())) {
        EXPECT_EQ(box.title, "Cancel Drawing");
        EXPECT_EQ(box.text, "Do you want to cancel this process?");
        EXPECT_EQ(box.style, mb::YesNo + mb::Question);
    }
    EXPECT_TRUE(importOff) << "no second import while one runs";
    EXPECT_TRUE(cancelFocused);
    EXPECT_TRUE(stillOpen) << "cancelling the import keeps the window";
    EXPECT_FALSE(writtenAfterCancel);
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "WORKING... Importing Elevation Data 90%"), statuses.end());
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "WORKING... Importing Elevation Data 100%"), statuses.end());
    EXPECT_EQ(statuses.back(), "");
    // The second import wrote the map, which opened.
    EXPECT_TRUE(std::filesystem::exists(mapPath));
    ASSERT_NE(picture(), nullptr);
    EXPECT_EQ(s.gstrImageFile, mapPath);
    EXPECT_FALSE(s.gblnBusy);
}

}  // namespace
}  // namespace morv::test
