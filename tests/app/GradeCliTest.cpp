#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <filesystem>

#include "app/cli/GradeCommand.h"
#include "io/ImageIO.h"
#include "support/CliRun.h"

namespace morv {
namespace {

struct GradeCli : ::testing::Test {
    test::TempDir dir;
    GradeCli() {
        // A valley a level deeper each pixel to its floor at x = 128, 10 m a pixel.
        HeightImage map(257, 40);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 257; ++x) map.setPixel(x, y, fcnGrayColor(100 + std::abs(x - 128)));
        savePictureFile(map, dir.file("vale.bmp"));
    }
    static constexpr const char* kScale = " --pixel-metres 10 --level-metres 1 --base-metres 300";
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.file(name)); }
};

TEST_F(GradeCli, WritesTheMapPictureTableAndReport) {
    const test::CliResult r = test::morvCli(
        std::string("grade vale.bmp --path 28,20 228,20 --width 20 --shoulder 10 --max-grade 2.5% --curve 0") +
            " --fix 0:500 --fix 2000:500 -o out.png --contours --profile p.png --table t.csv --report r.json" + kScale,
        dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("length")), "out.png\noutCL.png\np.png\nt.csv\nr.json\nout.scale.json\n");
    EXPECT_NE(r.out.find("fill: 2250000 m3, highest bank 75.00 m\n"), std::string::npos) << r.out;
    EXPECT_EQ(test::readFile(dir.file("out.png")).at(25), 0) << "an 8-bit grey PNG, as redraw writes";
    const auto out = loadPictureFile(dir.file("out.png"));
    EXPECT_EQ(fcnGrayLevel(out->pixel(128, 20)), 175);
    EXPECT_EQ(fcnGrayLevel(out->pixel(128, 30)), 100);
    const std::string table = test::readFile(dir.file("t.csv"));
    EXPECT_NE(table.find("\n1000.0,128.00,20.00,475.00\n"), std::string::npos) << table;
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("p.png"))).width(), 1200);
    EXPECT_NE(test::readFile(dir.file("r.json")).find("\"highestBank\": 75"), std::string::npos);
}

TEST_F(GradeCli, TakesTheMapsScaleFileAndKeepsIt) {
    const std::string path = " --path 28,20 228,20 --width 20 --shoulder 10 --max-grade 2.5% --curve 0 --fix 0:500 --fix 2000:500";
    ASSERT_EQ(test::morvCli("scale vale.bmp --pixel-metres 10 --level-metres 1 --base-metres 300", dir).status, 0);
    const test::CliResult byFile = test::morvCli("grade vale.bmp" + path + " -o a.bmp", dir);
    ASSERT_EQ(byFile.status, 0) << byFile.err;
    ASSERT_EQ(test::morvCli(std::string("grade vale.bmp") + path + " -o b.bmp" + kScale, dir).status, 0);
    EXPECT_EQ(test::readFile(dir.file("a.bmp")), test::readFile(dir.file("b.bmp")));
    EXPECT_EQ(test::readFile(dir.file("a.scale.json")), test::readFile(dir.file("vale.scale.json")));
}

TEST_F(GradeCli, BadInputIsOneLineAndWritesNothing) {
    const std::string base = "grade vale.bmp --width 20 --shoulder 10 --max-grade 2.5 -o out.bmp --report r.json";
    test::expectRefusals(
        {{base + " --path 28,20" + kScale, 1, "morv-cli: vale.bmp: the track has only one point; a track needs at least two\n"},
         {base + " --path 28,20 300,20" + kScale, 1,
          "morv-cli: vale.bmp: the track's point 2 (300, 20) lies outside the map of 257 x 40 pixels\n"},
         {base + " --path 28,20 228,20 --fix 500:400 --fix 1500:430" + kScale, 1,
          "morv-cli: vale.bmp: no grade of at most 2.5 % joins the fixed heights 400 m at 500 m and 430 m at "
          "1500 m: that needs 3 %\n"},
         {base + " --path 28,20 228,20", 1,
          "morv-cli: vale.bmp: no scale: the map's metres per pixel and per grey level are not known (give "
          "--pixel-metres and --level-metres)\n"},
         {base + " --track t.gpx" + kScale, 1,
          "morv-cli: vale.bmp: the map has no coordinate system, so a track in longitudes and latitudes cannot be "
          "placed on it\n"}},
        dir);
    EXPECT_FALSE(exists("out.bmp"));
    EXPECT_FALSE(exists("r.json"));
}

TEST_F(GradeCli, UsageErrorsNameWhatIsMissing) {
    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"vale.bmp", "--width", "20", "--shoulder", "0", "--max-grade", "2", "-o", "o.bmp"}, "grade needs either --track FILE or --path X,Y X,Y..."},
        {{"vale.bmp", "--path", "1,2", "3,4", "--shoulder", "0", "--max-grade", "2", "-o", "o"}, "grade needs --width M, the formation's width in metres"},
        {{"v.bmp", "--max-grade", "0"}, "--max-grade takes a percentage above 0 and at most 100, not '0'"},
        {{"v.bmp", "--path", "1,2", "3,x"}, "--path takes X,Y points in pixels, not '3,x'"}};
    for (const auto& [args, error] : bad) EXPECT_EQ(cli::parseGradeArguments(args).error, error) << error;
    const cli::GradeParsed p = cli::parseGradeArguments(
        {"v.bmp", "--path", "1,2 3,4", "5.5,6", "--width=8", "--shoulder", "0", "--max-grade", "1.5", "-o", "o"});
    ASSERT_TRUE(p.args) << p.error;
    EXPECT_EQ(p.args->request.line, (std::vector<TrackPoint>{{1, 2}, {3, 4}, {5.5, 6}}));
    EXPECT_DOUBLE_EQ(p.args->request.profile.maxGrade, 0.015);
    EXPECT_EQ(p.args->output, "o.bmp");
}

}  // namespace
}  // namespace morv
