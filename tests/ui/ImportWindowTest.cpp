#include <QComboBox>
#include <QImage>
#include <QPixmap>
#include <cmath>
#include <filesystem>
#include <set>

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
        auto type = [&](const char* name, const std::string& text) {
            QTest::keyClicks(d.findChild<QLineEdit*>(QString::fromUtf8(name)), QString::fromStdString(text));
        };
        auto press = [&](const char* name) {
            QTest::mouseClick(d.findChild<QPushButton*>(QString::fromUtf8(name)), Qt::LeftButton);
        };
        // Without a file the window says so and stays.
        prompter.answers = {mb::OK};
        type("txtMapFile", mapPath);
        press("cmdImport");
        EXPECT_EQ(lastShown().text, "Choose at least one elevation file.");
        EXPECT_EQ(lastShown().title, "Import Elevation Data");
        type("txtDemFiles", demPath);
        type("txtCrs", "EPSG:32632");
        type("txtGround", "150");
        QComboBox* grid = d.findChild<QComboBox*>(QStringLiteral("cboGrid"));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        EXPECT_EQ(grid->currentIndex(), 1);
        press("cmdPreview");
        preview = d.findChild<QLabel*>(QStringLiteral("picPreview"))->grab().toImage();
        report = d.findChild<QLabel*>(QStringLiteral("lblReport"))->text().toStdString();
        press("cmdImport");
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

}  // namespace
}  // namespace morv::test
