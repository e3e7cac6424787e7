#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>

#include "commands/BoardCommands.h"
#include "commands/FileCommands.h"
#include "commands/SiteCommands.h"
#include "io/ImageIO.h"
#include "io/Files.h"
#include "io/ScaleFile.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

MapScale metres(double pixel, double level, double base) {
    MapScale s;
    s.pixelMetres = pixel, s.levelMetres = level, s.baseMetres = base;
    return s;
}

struct MapScaleCommands : ::testing::Test {
    test::TempDir dir;
    test::TestApp t;
    test::RecordingHost host{t.app};

    /// A 576 x 288 map of level 100 with its contour image (not square: no size warning).
    std::string writeMap(const std::string& name) {
        HeightImage map(576, 288, 100), contour(576, 288, 255);
        const std::string path = dir.file(name);
        savePictureFiles({{&map, path}, {&contour, contourPathFor(path)}});
        return path;
    }
    void open(const std::string& path) {
        t.prompter.fileNames.push_back(path);
        openImage(host);
    }
    /// The message boxes shown, leaving out the file dialogs.
    std::vector<test::Shown> boxes() const {
        std::vector<test::Shown> out;
        for (const test::Shown& s : t.prompter.shown)
            if (s.kind == "msgBox") out.push_back(s);
        return out;
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.file(name)); }
};

TEST_F(MapScaleCommands, OpenReadsTheScaleFileBesideTheMap) {
    const std::string path = writeMap("Hills.bmp");
    writeScaleFile(path, metres(5, 0.5, 100));
    open(path);
    EXPECT_EQ(host.doc.scale, metres(5, 0.5, 100));
    EXPECT_EQ(boxes().size(), 0u);
}

TEST_F(MapScaleCommands, AMalformedScaleFileIsToldAndTheMapOpens) {
    const std::string path = writeMap("Hills.bmp");
    std::ofstream(scalePathFor(path)) << "{\"pixelMetres\": 5,";
    t.prompter.answers = {mb::OK};
    open(path);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].title, "Map Scale");
    EXPECT_EQ(boxes()[0].text.rfind(scalePathFor(path) + " is not a readable scale file: not JSON", 0), 0u);
    EXPECT_NE(boxes()[0].text.find("\r\rThe map opens without a scale."), std::string::npos);
    EXPECT_EQ(host.doc.disp.width(), 576);
    EXPECT_FALSE(host.doc.scale.has_value());
}

TEST_F(MapScaleCommands, SixteenBitSamplesAreTakenAsMetres) {
    QImage q(4, 2, QImage::Format_Grayscale16);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) reinterpret_cast<std::uint16_t*>(q.scanLine(y))[x] = std::uint16_t(1000 + 170 * x);
    ASSERT_TRUE(q.save(QString::fromStdString(dir.file("dem.png"))));
    t.prompter.answers = {mb::Yes};  // no contour image: go on
    open(dir.file("dem.png"));
    EXPECT_EQ(host.doc.scale, metres(5, 2, 1000));  // 510 m over 255 levels
}

TEST_F(MapScaleCommands, SaveAsCarriesTheScaleAndFitMovesIt) {
    open(writeMap("Hills.bmp"));
    setMapScale(host, metres(5, 0.5, 100));
    EXPECT_TRUE(host.save);
    // Four by two boards of the 5 m grid down to two by one: each pixel now covers 10 m.
    ASSERT_TRUE(fitMapToBoards(host, {BoardGrid::FiveMetre, 2, 1, BoardFitMethod::Scale}));
    t.prompter.fileNames.push_back(dir.file("Small.bmp"));
    ASSERT_TRUE(saveImageAs(host));
    EXPECT_EQ(readScaleFile(dir.file("Small.bmp")), metres(10, 0.5, 100));
    EXPECT_FALSE(exists("SmallCL.scale.json"));
}

TEST_F(MapScaleCommands, AMapWithoutScaleTakesAwayTheOneItReplaces) {
    const std::string path = writeMap("Hills.bmp");
    writeScaleFile(dir.file("Old.bmp"), metres(5, 1, 0));
    open(path);
    t.prompter.fileNames.push_back(dir.file("Old.bmp"));
    ASSERT_TRUE(saveImageAs(host));
    EXPECT_FALSE(exists("Old.scale.json"));
}

TEST_F(MapScaleCommands, AFailedSaveWritesNoScaleFile) {
    open(writeMap("Hills.bmp"));
    setMapScale(host, metres(5, 0.5, 100));
    std::filesystem::create_directory(dir.file("NewCL.bmp"));  // the contour image cannot go there
    t.prompter.fileNames.push_back(dir.file("New.bmp"));
    t.prompter.answers = {mb::Ignore};
    EXPECT_FALSE(saveImageAs(host));
    EXPECT_FALSE(exists("New.scale.json"));
    EXPECT_FALSE(exists("New.bmp"));
}

TEST_F(MapScaleCommands, LevelSiteChangesTheMapInMemory) {
    open(writeMap("Hills.bmp"));
    host.doc.scale = metres(5, 0.5, 100);
    const auto r = levelSiteOfMap(host, {SiteShape::rectangle(10, 10, 20, 10), Quantity{130, true}, Quantity{10, true}});
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->level, 60);
    std::vector<int> levels;
    for (const auto& [x, y] : {std::pair{15, 15}, {29, 19}, {30, 15}, {31, 15}, {32, 15}})
        levels.push_back(fcnGrayLevel(host.doc.disp.image->pixel(x, y)));
    // Two pixels of shoulder (10 m): one off the edge is nearly the site's level.
    EXPECT_EQ(levels, (std::vector<int>{60, 60, 66, 94, 100}));
    EXPECT_TRUE(host.save);
    const std::string summary = levelSiteSummary(*r, host.doc.scale);
    EXPECT_EQ(summary.rfind("levelled 200 pixels to level 60 (130 m) with ", 0), 0u) << summary;
    EXPECT_TRUE(summary.ends_with(" levels on average, 0 filled by 0.0")) << summary;
}

}  // namespace
}  // namespace morv
