#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "app/cli/CliOptions.h"
#include "io/ImageIO.h"
#include "io/ScaleFile.h"
#include "support/CliRun.h"

namespace morv {
namespace {

using cli::parseArguments;
using test::CliResult;
using test::morvCli;

TEST(CliSiteArguments, ReadsASiteAndItsHeights) {
    const auto p = parseArguments({"level", "--polygon", "1,2", "5.5,2", "3,7", "map.bmp", "--height", "312m",
                                   "--shoulder", "4", "-o", "out.png"});
    ASSERT_TRUE(p.options) << p.error;
    EXPECT_EQ(p.options->command, cli::Command::Level);
    EXPECT_EQ(p.options->inputs, std::vector<std::string>{"map.bmp"});
    EXPECT_EQ(p.options->site->corners, (std::vector<SitePoint>{{1, 2}, {5.5, 2}, {3, 7}}));
    EXPECT_EQ(p.options->height, (Quantity{312, true}));
    EXPECT_EQ(p.options->shoulder, (Quantity{4, false}));
    const auto rect = parseArguments({"level", "m.bmp", "--rect", "2,3,4,5", "-o", "o.bmp"});
    ASSERT_TRUE(rect.options) << rect.error;
    EXPECT_EQ(rect.options->site->corners, SiteShape::rectangle(2, 3, 4, 5).corners);
    const auto ground = parseArguments({"redraw", "m.bmp", "--ground", "312 m", "--flatten", "5"});
    ASSERT_TRUE(ground.options) << ground.error;
    EXPECT_EQ(ground.options->groundMetres, "312 m");
    EXPECT_EQ(parseArguments({"scale", "m.bmp", "--base-metres", "-20", "--level-metres", "0.5"}).options->baseMetres, -20);

    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"level", "m.bmp", "--polygon", "1,2", "3,4", "-o", "o.bmp"}, "--polygon needs at least three corners"},
        {{"level", "m.bmp", "--rect", "1,2,3", "-o", "o.bmp"}, "--rect takes X,Y,W,H in whole pixels, not '1,2,3'"},
        {{"level", "m.bmp", "--rect", "1,2,3,4"}, "level needs -o OUT, the levelled map's file"},
        {{"level", "m.bmp", "-o", "o.bmp"}, "level needs the site: --rect X,Y,W,H or --polygon X,Y X,Y X,Y..."},
        {{"level", "m.bmp", "--rect", "1,2,3,4", "--polygon", "1,1", "-o", "o.bmp"}, "use one --rect or --polygon"},
        {{"scale", "m.bmp", "--level-metres", "0"}, "--level-metres takes a number of metres above 0, not '0'"},
        {{"scale", "a.bmp", "b.bmp"}, "scale works on one INPUT"},
        {{"scale", "m.bmp", "--flatten", "4"}, "scale takes no option --flatten"},
        {{"level", "m.bmp", "--rect", "1,2,3,4", "--height", "3 ft", "-o", "o.bmp"},
         "--height takes a level, or metres such as 312m, not '3 ft'"}};
    for (const auto& [args, error] : bad) EXPECT_EQ(parseArguments(args).error, error) << args[2];
}

struct ScaleCli : ::testing::Test {
    test::TempDir dir;
    void SetUp() override {
        // A ramp rising 4 levels a pixel eastwards, with its contour image.
        HeightImage map(40, 30, 0), contour(40, 30, 255);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) map.grey()[y * 40 + x] = std::uint8_t(20 + 4 * x);
        savePictureFiles({{&map, dir.file("ramp.bmp")}, {&contour, dir.file("rampCL.bmp")}});
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.file(name)); }
    int level(const std::string& file, int x, int y) const {
        return fcnGrayLevel(loadPictureFile(dir.file(file))->pixel(x, y));
    }
};

TEST_F(ScaleCli, ScaleShowsAndSetsTheMapsScale) {
    CliResult r = morvCli("scale ramp.bmp", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "scale: none (set one with --level-metres, --base-metres and --pixel-metres)\n");
    r = morvCli("scale ramp.bmp --level-metres 0.5 --base-metres 100", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ramp.scale.json\npixel: 5 m\nlevel: 0.5 m\nbase: 100 m\nlevels 0..255: 100 m to 227.5 m\n"
                     "georeferenced: no\n");
    // A second call changes what it is given and keeps the rest.
    ASSERT_EQ(morvCli("scale ramp.bmp --pixel-metres 2", dir).status, 0);
    EXPECT_EQ(morvCli("scale ramp.bmp", dir).out,
              "pixel: 2 m\nlevel: 0.5 m\nbase: 100 m\nlevels 0..255: 100 m to 227.5 m\ngeoreferenced: no\n");

    test::expectRefusals({{"scale rampCL.bmp --level-metres 1", 1, "morv-cli: rampCL.bmp is the contour image of ramp.bmp; give the map\n"},
                          {"scale ramp.scale.json --level-metres 1", 1, "morv-cli: ramp.scale.json is a scale file; name its map\n"}},
                         dir);
    EXPECT_FALSE(exists("rampCL.scale.json"));
}

TEST_F(ScaleCli, LevelWritesTheMapItsCompanionsAndOneLine) {
    ASSERT_EQ(morvCli("scale ramp.bmp --level-metres 0.5 --base-metres 100", dir).status, 0);
    const CliResult r = morvCli("level ramp.bmp --rect 10,10,10,8 --height 150m --shoulder 10m -o flat.png", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string head = "flat.png\nflatCL.png\nflat.scale.json\nlevelled 80 pixels to level 100 (150 m) with ";
    EXPECT_EQ(r.out.substr(0, head.size()), head) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
    // The last beyond the 2-pixel shoulder.
    EXPECT_EQ((std::vector{level("flat.png", 10, 10), level("flat.png", 19, 17), level("flat.png", 30, 12)}),
              (std::vector{100, 100, 140}));
    EXPECT_EQ(readScaleFile(dir.file("flat.png")), readScaleFile(dir.file("ramp.bmp")));
    // Without --force nothing is replaced.
    const CliResult again = morvCli("level ramp.bmp --rect 1,1,2,2 -o flat.png", dir);
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "morv-cli: flat.png exists (use --force to replace it)\n");
}

TEST_F(ScaleCli, BadSitesAreRefusedAndNothingIsWritten) {
    const std::string level = "level ramp.bmp -o out.bmp ";
    test::expectRefusals({{level + "--rect 10,10,4,4 --height 150m", 1,
                           "morv-cli: ramp.bmp: height: the map has no scale: a height in metres needs its metres per "
                           "level; nothing written\n"},
                          {level + "--rect 10,10,0,4", 1,
                           "morv-cli: ramp.bmp: the site covers no pixel (its area is zero); nothing written\n"},
                          {level + "--polygon 1,1 50,1 20,20", 1,
                           "morv-cli: ramp.bmp: the corner 50,1 lies outside the 40 x 30 map; nothing written\n"},
                          {level + "--rect 1,1,4,4 --shoulder 3m", 1,
                           "morv-cli: ramp.bmp: shoulder: the map has no scale: a length in metres needs its metres "
                           "per pixel; nothing written\n"}},
                         dir);
    EXPECT_FALSE(exists("out.bmp"));
    EXPECT_FALSE(exists("outCL.bmp"));
}

TEST_F(ScaleCli, RedrawTakesTheGroundInMetresAndCarriesTheScale) {
    CliResult r = morvCli("redraw ramp.bmp --ground 150m --flatten 50 -o m.bmp", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "morv-cli: --ground: the map has no scale: a height in metres needs its metres per "
                     "level (see morv-cli scale)\n");
    EXPECT_FALSE(exists("m.bmp"));
    EXPECT_EQ(morvCli("redraw ramp.bmp --ground 150m --flatten 50 -o m.bmp --dry-run", dir).status, 1);
    ASSERT_EQ(morvCli("scale ramp.bmp --level-metres 0.5 --base-metres 100", dir).status, 0);
    r = morvCli("redraw ramp.bmp --ground 150m --flatten 50 -o m.bmp --dry-run", dir);
    EXPECT_EQ(r.out, "m.bmp\nmCL.bmp\nm.scale.json\n");
    ASSERT_EQ(morvCli("redraw ramp.bmp --ground 150m --flatten 50 -o m.bmp", dir).status, 0);
    ASSERT_EQ(morvCli("redraw ramp.bmp --ground 100 --flatten 50 -o l.bmp", dir).status, 0);
    EXPECT_EQ(*loadPictureFile(dir.file("m.bmp")), *loadPictureFile(dir.file("l.bmp")));
    EXPECT_EQ(readScaleFile(dir.file("m.bmp")), readScaleFile(dir.file("ramp.bmp")));
    // Fitted to one board of the 10 m grid (73 pixels): 40 pixels across become 73.
    ASSERT_EQ(morvCli("redraw ramp.bmp --flatten 5 --boards 1x1 --grid 10 --fit scale -o b.bmp", dir).status, 0);
    EXPECT_NEAR(readScaleFile(dir.file("b.bmp"))->pixelMetres, 5 * std::sqrt(40.0 / 73 * 30.0 / 73), 1e-9);
}

TEST_F(ScaleCli, ABatchSkipsScaleFiles) {
    ASSERT_EQ(morvCli("scale ramp.bmp --level-metres 0.5", dir).status, 0);
    const CliResult r = morvCli("redraw ramp.bmp ramp.scale.json other.scale.json --flatten 5 --dry-run", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("skipped ramp.scale.json: the scale file of ramp.bmp\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("skipped other.scale.json: a map's scale file\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace morv
