// morv-cli with the picture-file options: depths and types, 16-bit levels, whole
// boards and asset folders.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "app/cli/CliOptions.h"
#include "io/AssetFolder.h"
#include "io/ImageIO.h"
#include "support/CliRun.h"

namespace morv {
namespace {

using test::CliResult;
using test::morvCli;
using namespace std::string_literals;

struct CliFormats : ::testing::Test {
    test::TempDir dir;
    void SetUp() override {
        HeightImage map(300, 150, 128);
        for (int x = 0; x < 300; ++x) map.setPixel(x, 75, fcnGrayColor(x % 256));
        HeightImage contour(300, 150, 255);
        contour.setPixel(0, 0, 0);
        savePictureFiles({{&map, dir.file("hills.bmp")}, {&contour, dir.file("hillsCL.bmp")}});
    }
    CliResult run(const std::string& args) { return morvCli(args, dir); }
};

TEST(CliFormatArguments, ReadsThePictureOptionsAndRefusesBadOnes) {
    const auto p = cli::parseArguments({"redraw", "a.png", "--scale-up", "--levels", "100:900", "--depth=8",
                                        "--boards", "4x3", "--grid", "10", "--fit", "pad", "--asset", "out"});
    ASSERT_TRUE(p.options) << p.error;
    const cli::Options& o = *p.options;
    EXPECT_EQ(std::tuple(o.levels, o.depth, o.boards, o.grid, o.fit, o.assetDir),
              std::tuple(SampleRange{100, 900}, 8, std::pair{4, 3}, BoardGrid::TenMetre, BoardFitMethod::Pad, "out"));
    EXPECT_TRUE(cli::parseArguments({"info", "a.png", "--levels", "0:10"}).options);
    const std::vector<std::vector<std::string>> bad = {
        {"redraw", "a.png", "--scale-up", "--levels", "9:1"}, {"redraw", "a.png", "--scale-up", "--depth", "16"},
        {"redraw", "a.png", "--scale-up", "--boards", "0x2"}, {"redraw", "a.png", "--scale-up", "--boards", "2x2", "--grid", "7"},
        {"redraw", "a.png", "--scale-up", "--boards", "2x2", "--fit", "stretch"}, {"redraw", "a.png", "--scale-up", "--grid", "10"},
        {"redraw", "a.png", "--scale-up", "--asset", "d", "-o", "x.png"}, {"info", "a.png", "--depth", "8"},
    };
    for (const auto& args : bad) EXPECT_FALSE(cli::parseArguments(args).options) << ::testing::PrintToString(args);
}

TEST_F(CliFormats, DamagedPicturesFailOnePlainLineEach) {
    // A TGA header with colour map type 7; a TIFF cut inside its directory.
    test::writeBytes(dir.file("bad.tga"), "\0\7\2\0\0\0\0\0\0\0\0\0\2\0\2\0\30\0"s + std::string(12, 'x'));
    test::writeBytes(dir.file("cut.tif"), "II*\0\x08\0\0\0\x09\0"s);
    const CliResult r = run("info bad.tga cut.tif");
    EXPECT_EQ(r.status, 1);
    std::istringstream lines(r.err);
    std::string tgaLine, tifLine, summary;
    std::getline(lines, tgaLine), std::getline(lines, tifLine), std::getline(lines, summary);
    EXPECT_EQ(tgaLine, "morv-cli: Invalid picture: bad.tga: damaged TGA header: colour map type 7 (0 or 1)");
    EXPECT_EQ(tifLine.rfind("morv-cli: Invalid picture: cut.tif: damaged TIFF header: ", 0), 0u) << tifLine;
    // libtiff's reason, without its function's name or the file's name again.
    EXPECT_EQ(tifLine.find("cut.tif", 30), std::string::npos) << tifLine;
    EXPECT_EQ(tifLine.find(": TIFF"), std::string::npos) << tifLine;
    EXPECT_EQ(summary, "0 read, 2 failed, 0 companions skipped");
}

TEST_F(CliFormats, WritesByExtensionAndDepthTheContourImageAlike) {
    struct Case { std::string args, out; std::size_t size; const char* magic; };
    const Case cases[] = {
        {"-o a.bmp", "a.bmp\naCL.bmp\n", 54 + 900 * 150, "BM"},
        {"-o b.bmp --depth 8", "b.bmp\nbCL.bmp\n", 1078 + 300 * 150, "BM"},
        {"-o c.png", "c.png\ncCL.png\n", 0, "\x89PNG"},
        {"--depth 8", "hills_300x150_MF-10_B-0.bmp\nhills_300x150_MF-10_B-0CL.bmp\n", 1078 + 300 * 150, "BM"},
    };
    for (const auto& c : cases) {
        const CliResult r = run("redraw hills.bmp --flatten 10 " + c.args);
        ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, c.out);
        for (const std::string& f : {c.out.substr(0, c.out.find('\n')), c.out.substr(c.out.find('\n') + 1, c.out.size() - c.out.find('\n') - 2)}) {
            const std::string bytes = test::readFile(dir.file(f));
            EXPECT_EQ(bytes.rfind(c.magic, 0), 0u) << f;
            if (c.size) {
                EXPECT_EQ(bytes.size(), c.size) << f;
            }
        }
    }
    EXPECT_EQ(test::readFile(dir.file("c.png"))[25], 0) << "grey PNG";
    EXPECT_EQ(*loadPictureFile(dir.file("c.png")), *loadPictureFile(dir.file("a.bmp")));
}

TEST_F(CliFormats, SixteenBitLevelsAreChosenAndShownByInfo) {
    QImage deep(3, 1, QImage::Format_Grayscale16);
    const std::uint16_t samples[] = {1000, 1500, 2000};
    std::memcpy(deep.scanLine(0), samples, sizeof samples);
    ASSERT_TRUE(deep.save(QString::fromStdString(dir.file("deep.png"))));
    CliResult r = run("info deep.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "width: 3\nheight: 1\nhigh: 255\nlow: 0\ncontour: none\nbase: none\n"
                     "levels: 16-bit samples 1000..2000 (the map's own range; found 1000..2000) to levels 0..255, "
                     "3.922 units a level\n");
    r = run("info deep.png --levels 1250:1750");
    EXPECT_NE(r.out.find("levels: 16-bit samples 1250..1750 (chosen; found 1000..2000)"), std::string::npos) << r.out;
    r = run("info deep.png --json --levels 1250:1750");
    EXPECT_NE(r.out.find(", \"levels\": \"16-bit samples 1250..1750 (chosen; found 1000..2000)"), std::string::npos)
        << r.out;
    r = run("redraw deep.png --levels 0:4000 --flatten 0 --ground 0 -o flat.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(*loadPictureFile(dir.file("flat.png")), test::greyImage({{64, 96, 128}}));  // 63.75, 95.6, 127.5
}

TEST_F(CliFormats, FitsWholeBoardsAndRecordsTheFitInTheName) {
    struct Case { std::string args, name; int w, h; };
    const Case cases[] = {
        {"--boards 2x1 --fit crop", "hills_288x144_MF-10_B-0_FB-2x1.bmp", 288, 144},
        {"--boards 5x3 --grid 10 --fit pad", "hills_361x217_MF-10_B-0_FB10-5x3.bmp", 361, 217},
        {"--boards 1x1 --depth 8", "hills_144x144_MF-10_B-0_FB-1x1.bmp", 144, 144},
    };
    for (const auto& c : cases) {
        const CliResult r = run("redraw hills.bmp --flatten 10 " + c.args);
        ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c.name);
        const auto image = loadPictureFile(dir.file(c.name));
        const auto contour = loadPictureFile(dir.file(c.name.substr(0, c.name.size() - 4) + "CL.bmp"));
        EXPECT_EQ(std::pair(image->width(), image->height()), std::pair(c.w, c.h)) << c.args;
        EXPECT_EQ(std::pair(contour->width(), contour->height()), std::pair(c.w, c.h)) << c.args;
    }
    // A later run over the folder takes the fitted results for results, not maps.
    const CliResult again = run("redraw *.bmp --flatten 30 --dry-run");
    EXPECT_EQ(again.out, "hills_300x150_MF-30_B-0.bmp\nhills_300x150_MF-30_B-0CL.bmp\n");
    for (const auto& c : cases)
        EXPECT_NE(again.err.find("skipped " + c.name + ": a result made from hills.bmp\n"), std::string::npos) << again.err;
    const CliResult r = run("redraw hills.bmp --flatten 10 --boards 3x2 --fit crop");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "morv-cli: cropping cannot make 300 x 150 pixels into 432 x 288 for 3 x 2 boards "
                     "(use --fit pad or --fit scale)\n");
}

TEST_F(CliFormats, FitCropsByDefaultAndScalingTellsTheScale) {
    CliResult r = run("redraw hills.bmp --flatten 10 --boards 1x1 -o default.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "a crop keeps the metres of a pixel";
    ASSERT_EQ(run("redraw hills.bmp --flatten 10 --boards 1x1 --fit crop -o crop.bmp").status, 0);
    EXPECT_EQ(*loadPictureFile(dir.file("default.bmp")), *loadPictureFile(dir.file("crop.bmp")));

    r = run("redraw hills.bmp --flatten 10 --boards 1x1 --fit scale -o scaled.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "scaled.bmp\nscaledCL.bmp\n");
    EXPECT_EQ(r.err, "morv-cli: hills.bmp: fitted by scaling: 10.4 x 5.2 m a pixel (was 5 m)\n");
    r = run("redraw hills.bmp --flatten 10 --boards 2x1 --grid 10 --fit scale -o ten.bmp");
    EXPECT_EQ(r.err, "morv-cli: hills.bmp: fitted by scaling: 20.8 x 20.7 m a pixel (was 10 m)\n");
    r = run("redraw hills.bmp --flatten 10 --boards 1x1 --fit scale -o quiet.bmp -q");
    EXPECT_EQ(r.err, "") << "-q leaves only the failures";
}

TEST_F(CliFormats, ConvertsOrFitsWithoutAPass) {
    const HeightImage original = *loadPictureFile(dir.file("hills.bmp"));
    CliResult r = run("redraw hills.bmp -o plain.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(*loadPictureFile(dir.file("plain.png")), original) << "a change of type alone";
    EXPECT_EQ(test::readFile(dir.file("plain.png"))[25], 0) << "grey PNG";
    r = run("redraw hills.bmp --depth 8 -o deep.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(dir.file("deep.bmp"))[28], 8) << "8 bits a pixel";
    r = run("redraw hills.bmp --boards 1x1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(loadPictureFile(dir.file("hills_144x144_B-0_FB-1x1.bmp"))->width(), 144);
    r = run("redraw hills.bmp --blur 1 -o blurred.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    const HeightImage blurred = *loadPictureFile(dir.file("blurred.bmp"));
    EXPECT_NE(blurred, original) << "the blur ran";
    EXPECT_EQ(blurred.width(), 300);
    r = run("redraw hills.bmp --contours -o lines.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(*loadPictureFile(dir.file("linesCL.bmp")), *loadPictureFile(dir.file("hillsCL.bmp"))) << "new contours";
    r = run("redraw hills.bmp --asset kit");
    ASSERT_EQ(r.status, 0) << r.err;
    // The brush alone: the map's levels (0 to 255, its ground 128) moved so its ground stands at 127.
    const BrushLevels brush = brushLevels(128, 0, 255);
    HeightImage expected(300, 150, brush.level[128]);
    for (int x = 0; x < 300; ++x) expected.setPixel(x, 75, fcnGrayColor(brush.level[x % 256]));
    EXPECT_EQ(*loadPictureFile(dir.file("kit/hills_300x150_B-0.png")), expected);
    EXPECT_EQ(run("redraw hills.bmp -o same.bmp").status, 2) << "nothing to do";
}

TEST_F(CliFormats, WritesAnAssetFolder) {
    const CliResult r = run("redraw hills.bmp --flatten 10 --boards 2x1 --asset 'my asset'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "my asset/hills_288x144_MF-10_B-0_FB-2x1.png\nmy asset/thumbnail.jpg\nmy asset/config.txt\n");
    EXPECT_NE(test::readFile(dir.file("my asset/config.txt")).find("\"hills_288x144_MF-10_B-0_FB-2x1.png\""),
              std::string::npos);
    EXPECT_EQ(loadPictureFile(dir.file("my asset/hills_288x144_MF-10_B-0_FB-2x1.png"))->width(), 288);
    EXPECT_EQ(run("redraw hills.bmp --flatten 10 --boards 2x1 --asset 'my asset'").status, 1) << "exists, no --force";
}

TEST_F(CliFormats, TheAssetHoldsItsGroundAtTheNeutralLevel) {
    // Everything flattened and filled to the ground, 90: a brush of 127 alone.
    CliResult r = run("redraw hills.bmp --ground 90 --flatten 100 --fill 100 --asset flat --kuid 414243:77");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(*loadPictureFile(dir.file("flat/hills_300x150_MF-100_VF-100_B-0.png")), HeightImage(300, 150, 127));
    const std::string config = test::readFile(dir.file("flat/config.txt"));
    EXPECT_EQ(config.rfind("kuid                                    <kuid:414243:77>\n", 0), 0u) << config;
    EXPECT_NE(config.find("Level 127 was the map's ground level 90."), std::string::npos) << config;
    EXPECT_EQ(config.find("Put your user id"), std::string::npos);

    // --asset-ground picks another level. The map's 255 lies 155 above 100, so the
    // heights are pressed by 128 / 155: 128 lies 28 above, 23 in the brush.
    r = run("redraw hills.bmp --flatten 0 --asset raised --asset-ground 100");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto brush = loadPictureFile(dir.file("raised/hills_300x150_MF-0_B-0.png"));
    EXPECT_EQ(brush->pixel(0, 0), fcnGrayColor(150));
    EXPECT_EQ(brush->pixel(255, 75), fcnGrayColor(255));
    EXPECT_EQ(brush->pixel(100, 75), fcnGrayColor(127));

    const std::string refused = "redraw hills.bmp --flatten 0 --asset refused ";
    test::expectRefusals({{refused + "--kuid 414243", 2, "morv-cli: "}, {refused + "--kuid 0:5", 2, "morv-cli: "},
                          {refused + "--kuid 5:x", 2, "morv-cli: "}, {refused + "--asset-ground 256", 2, "morv-cli: "}},
                         dir);
    EXPECT_EQ(run("redraw hills.bmp --flatten 0 --kuid 5:5").err, "morv-cli: --asset-ground and --kuid need --asset\n");
    EXPECT_EQ(run("redraw hills.bmp --flatten 0 --asset refused --kuid 0:5").err,
              "morv-cli: --kuid '0:5': The user id must be a whole number from 1 to 2147483647.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("refused")));
}

}  // namespace
}  // namespace morv
