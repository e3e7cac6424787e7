#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/cli/CliOptions.h"
#include "io/ImageIO.h"
#include "support/CliRun.h"

namespace morv {
namespace {

using cli::parseArguments;

TEST(CliArguments, ReadsEveryOption) {
    const auto p = parseArguments({"redraw", "in.bmp", "--ground", "100", "--lower=30", "--invert", "40", "--scale-up",
                                   "--blur", "48", "--contours", "-o", "out.bmp", "--force", "--calc-base"});
    ASSERT_TRUE(p.options) << p.error;
    const cli::Options& o = *p.options;
    EXPECT_EQ(o.inputs, std::vector<std::string>{"in.bmp"});
    EXPECT_EQ(std::tuple(o.ground, o.mountainsPercent, o.valleysPercent, o.blur), std::tuple(100, 30, 40, 48));
    EXPECT_EQ(o.mountains, MountainMode::Lower);
    EXPECT_EQ(o.valleys, ValleyMode::Invert);
    EXPECT_EQ(std::tuple(o.scaleUp, o.contours, o.force, o.calcBase), std::tuple(true, true, true, true));
    EXPECT_EQ(o.output, "out.bmp");
    const auto batch = parseArguments({"redraw", "a.bmp", "--jobs=3", "-q", "--outdir", "done", "b.jpg", "--dry-run", "--fill", "5",
                                       "--", "-x.bmp", "--scale-up"});
    ASSERT_TRUE(batch.options) << batch.error;
    const cli::Options& b = *batch.options;
    EXPECT_EQ(b.inputs, (std::vector<std::string>{"a.bmp", "b.jpg", "-x.bmp", "--scale-up"})) << "after --, every argument is an INPUT";
    EXPECT_EQ(std::tuple(b.jobs, b.quiet, b.dryRun, b.scaleUp, b.outdir), std::tuple(3u, true, true, false, "done"));
    EXPECT_TRUE(parseArguments({"info", "a.bmp", "b.bmp", "--json", "--jobs", "2"}).options->json);
}

TEST(CliArguments, BadUsageIsRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {}, {"frobnicate", "a.bmp"}, {"re\ndraw", "a.bmp"},  // the message quotes it on one line
        {"redraw", "a.bmp"},                                   // no task
        {"redraw", "a.bmp", "-o", "same.bmp"},                  // the same type: nothing to do
        {"redraw", "a.bmp", "--blur", "0", "--outdir", "done"},  // no blur is no task
        {"redraw", "a.bmp", "--flatten", "10", "--lower", "10"}, {"redraw", "a.bmp", "--fill", "10", "--invert", "10"},
        {"redraw", "a.bmp", "--flatten", "101"}, {"redraw", "a.bmp", "--flatten", "-1"},
        {"redraw", "a.bmp", "--flatten", "12.5"}, {"redraw", "a.bmp", "--flatten"},
        {"redraw", "a.bmp", "--flatten", "50", "--ground", "256"}, {"redraw", "a.bmp", "--flatten", "50", "--blur", "49"},
        {"redraw", "a.bmp", "--flatten", "50", "--bogus"},
        {"redraw", "-", "--flatten", "50"},  // a map comes with its contour image: no stream
        {"redraw", "a.bmp", "--flatten", "50", "--", "-"}, {"redraw", "a.bmp", "--flatten", "50", "-o", "-"},
        {"redraw", "a.bmp", "--flatten", "50", "-o", "out.gif"},  // no BMP bytes under another name
        {"redraw", "a.bmp", "--flatten", "50", "-o", "out.tiff"}, {"redraw", "a.bmp", "--flatten", "50", "-o", "done/"},
        {"redraw", "a.bmp", "b.bmp", "--flatten", "50", "-o", "out.bmp"},
        {"redraw", "a.bmp", "--flatten", "50", "-o", "out.bmp", "--outdir", "done"},
        {"redraw", "a.bmp", "--flatten", "50", "--jobs", "0"}, {"redraw", "a.bmp", "--flatten", "50", "--json"},
        {"redraw", "a.bmp", "--", "--flatten", "50"},  // no task: those were INPUTs
        {"info", "a.bmp", "--dry-run"}, {"redraw", "--flatten", "50"}, {"redraw", "a.bmp", "--flatten", "50", "--force=yes"},
        {"info"}, {"info", "a.bmp", "--flatten", "5"},
    };
    for (const auto& args : bad) {
        const auto p = parseArguments(args);
        EXPECT_FALSE(p.options) << ::testing::PrintToString(args);
        EXPECT_FALSE(p.error.empty());
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << "one line";
    }
    EXPECT_TRUE(parseArguments({"redraw", "a.bmp", "--scale-up"}).options);
    EXPECT_EQ(parseArguments({"info", "a.bmp", "--help"}).options->command, cli::Command::Help);
    EXPECT_EQ(parseArguments({"info", "-h"}).options->command, cli::Command::Help);
    EXPECT_EQ(parseArguments({"info", "--", "--help"}).options->inputs, std::vector<std::string>{"--help"});
    EXPECT_EQ(parseArguments({"redraw", "a.bmp", "--flatten", "1", "-o", "-"}).error.substr(0, 46),
              "cannot write a result to standard output ('-')");
}

using test::CliResult;
using test::morvCli;

struct CliRun : ::testing::Test {
    test::TempDir dir;
    void SetUp() override {
        // Hills above the ground, a valley below it, and the contour image.
        HeightImage map = test::greyImage({{128, 200, 228, 128}, {100, 128, 160, 20}, {128, 128, 128, 128}});
        HeightImage contour(4, 3, 255);
        contour.setPixel(0, 0, 0);
        contour.setPixel(3, 2, 0);
        savePictureFiles({{&map, dir.file("hills.bmp")}, {&contour, dir.file("hillsCL.bmp")}});
    }
};

TEST_F(CliRun, RedrawWritesTheResultPairUnderTheResultName) {
    const CliResult r = morvCli("redraw hills.bmp --flatten 50 --fill 50", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "hills_4x3_MF-50_VF-50_B-0.bmp\nhills_4x3_MF-50_VF-50_B-0CL.bmp\n");
    EXPECT_EQ(r.err, "");
    const auto result = loadPictureFile(dir.file("hills_4x3_MF-50_VF-50_B-0.bmp"));
    EXPECT_EQ(*result, test::greyImage({{128, 164, 178, 128}, {114, 128, 144, 74}, {128, 128, 128, 128}}));
    EXPECT_EQ(test::readFile(dir.file("hills_4x3_MF-50_VF-50_B-0.bmp")).substr(0, 2), "BM");
    const auto contour = loadPictureFile(dir.file("hills_4x3_MF-50_VF-50_B-0CL.bmp"));
    EXPECT_EQ(contour->pixel(0, 0), 0);
}

TEST_F(CliRun, ScaleUpAloneStretchesAndNamesItsCode) {
    const CliResult r = morvCli("redraw hills.bmp --scale-up --blur 0", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "hills_4x3_MSU-0_B-0.bmp");
    EXPECT_EQ(fcnGrayLevel(loadPictureFile(dir.file("hills_4x3_MSU-0_B-0.bmp"))->pixel(2, 0)), 255);
}

TEST_F(CliRun, ContoursAndBlurRunAfterThePasses) {
    std::filesystem::remove(dir.file("hillsCL.bmp"));
    CliResult r = morvCli("redraw hills.bmp --flatten 0 --contours -o c.bmp", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "c.bmp\ncCL.bmp\n") << "--contours writes a contour image the input lacked";
    const auto contour = loadPictureFile(dir.file("cCL.bmp"));
    EXPECT_EQ(contour->pixel(0, 0), 0) << "ground beside higher terrain";
    EXPECT_EQ(fcnGrayLevel(contour->pixel(1, 0)), 200) << "elsewhere a copy of the height image";
    r = morvCli("redraw hills.bmp --flatten 0 --blur 2 -o b.bmp", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "b.bmp\n") << "no contour image in, none out";
    EXPECT_NE(*loadPictureFile(dir.file("b.bmp")), *loadPictureFile(dir.file("hills.bmp")));
}

TEST_F(CliRun, CalcBaseSetsTheGroundFromTheContours) {
    const CliResult r = morvCli("redraw hills.bmp --calc-base --ground 3 --flatten 100 -o out.bmp", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    // The contour pixels lie over levels 128 and 128.
    EXPECT_EQ(fcnGrayLevel(loadPictureFile(dir.file("out.bmp"))->pixel(2, 0)), 128);
}

TEST_F(CliRun, ExistingOutputNeedsForceAndIsOtherwiseUntouched) {
    std::ofstream(dir.file("out.bmp")) << "precious";
    CliResult r = morvCli("redraw hills.bmp --flatten 10 -o out.bmp", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "morv-cli: out.bmp exists (use --force to replace it)\n");
    EXPECT_EQ(test::readFile(dir.file("out.bmp")), "precious");
    EXPECT_FALSE(std::filesystem::exists(dir.file("outCL.bmp")));
    r = morvCli("redraw hills.bmp --flatten 10 -o out.bmp --force", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(dir.file("out.bmp")).substr(0, 2), "BM");
}

TEST_F(CliRun, FailuresAreOneLineAndWriteNothing) {
    std::ofstream(dir.file("text.bmp")) << "not a picture";
    test::expectRefusals({{"redraw missing.bmp --flatten 5", 1, "morv-cli: File not found: missing.bmp"},
                          {"redraw text.bmp --flatten 5 -o t.bmp", 1, "morv-cli: Invalid picture: text.bmp"},
                          {"redraw hills.bmp --flatten 5 -o nofolder/out.bmp", 1, "morv-cli: "},
                          {"redraw text.bmp --calc-base --flatten 5", 1, "morv-cli: text.bmp has no contour image"},
                          {"redraw hills.bmp", 2, "morv-cli: no task"},
                          {"redraw hills.bmp --flatten 500", 2, "morv-cli: --flatten takes a whole number"}},
                         dir);
    EXPECT_EQ(test::entryCount(dir.path()), 4u) << "only the two inputs, the text file and stderr.txt";
}

TEST_F(CliRun, PathsAreOneLineMismatchedContourRefused) {
    CliResult r = morvCli("redraw hills.bmp --flatten 5 -o \"$(printf 'two\\nlines.bmp')\"", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "two\\nlines.bmp\ntwo\\nlinesCL.bmp\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("two\nlinesCL.bmp")));
    const HeightImage narrow(2, 3, 255);
    savePictureFile(narrow, dir.file("hillsCL.bmp"));
    for (const char* command : {"info hills.bmp", "redraw hills.bmp --flatten 5 -o n.bmp"}) {
        r = morvCli(command, dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "morv-cli: Invalid picture: hillsCL.bmp: the contour image is 2 x 3 pixels but its height image "
                         "hills.bmp is 4 x 3\n");
        EXPECT_EQ(r.out, "");
    }
}

/// The files in a folder, sorted, as one text.
std::string listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename() != "stderr.txt") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += n + " ";
    return out;
}

TEST_F(CliRun, ABatchGoesOnPastFailuresAndEachResultIsTheMapsAlone) {
    // A second map of another shape, a companion named in the call and a damaged map.
    const HeightImage vale = test::greyImage({{10, 128, 250}, {128, 90, 128}});
    HeightImage valeContour(3, 2, 255);
    valeContour.setPixel(1, 0, 0);
    savePictureFiles({{&vale, dir.file("Vale.jpeg")}, {&valeContour, dir.file("ValeCL.jpeg")}});
    std::ofstream(dir.file("text.bmp")) << "not a picture";
    std::filesystem::create_directory(dir.file("done"));

    CliResult r = morvCli("redraw hills.bmp hillsCL.bmp text.bmp Vale.jpeg --flatten 50 --blur 2 --outdir done/ --jobs 2", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "done/hills_4x3_MF-50_B-2.bmp\ndone/hills_4x3_MF-50_B-2CL.bmp\n"
              "done/Vale_3x2_MF-50_B-2.bmp\ndone/Vale_3x2_MF-50_B-2CL.bmp\n");
    EXPECT_EQ(r.err,
              "morv-cli: skipped hillsCL.bmp: the contour image of hills.bmp\n"
              "morv-cli: Invalid picture: text.bmp: not a BMP, JPEG, PNG, TIFF or TGA picture\n"
              "2 written, 1 failed, 1 companions skipped\n");
    EXPECT_EQ(listing(dir.file("done")),
              "Vale_3x2_MF-50_B-2.bmp Vale_3x2_MF-50_B-2CL.bmp hills_4x3_MF-50_B-2.bmp hills_4x3_MF-50_B-2CL.bmp ");

    for (const char* map : {"hills", "Vale"}) {
        const std::string in = std::string(map) + (map[0] == 'h' ? ".bmp" : ".jpeg");
        r = morvCli("redraw " + in + " --flatten 50 --blur 2 -o alone.bmp --force", dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string result = std::string("done/") + map + (map[0] == 'h' ? "_4x3" : "_3x2") + "_MF-50_B-2";
        EXPECT_EQ(test::readFile(dir.file(result + ".bmp")), test::readFile(dir.file("alone.bmp"))) << map;
        EXPECT_EQ(test::readFile(dir.file(result + "CL.bmp")), test::readFile(dir.file("aloneCL.bmp"))) << map;
    }
}

TEST_F(CliRun, TwoMapsNeverWriteOneFile) {
    std::filesystem::create_directories(dir.file("a"));
    std::filesystem::create_directories(dir.file("out"));
    std::filesystem::copy_file(dir.file("hills.bmp"), dir.file("a/hills.bmp"));
    const CliResult r = morvCli("redraw a/hills.bmp hills.bmp --flatten 5 --outdir out --force --jobs 2", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "out/hills_4x3_MF-5_B-0.bmp\n");
    EXPECT_EQ(r.err, "morv-cli: hills.bmp: out/hills_4x3_MF-5_B-0.bmp is also the result of a/hills.bmp, which comes first\n"
                     "1 written, 1 failed, 0 companions skipped\n");
}

TEST_F(CliRun, ADryRunNamesTheFilesAndWritesNothing) {
    std::filesystem::create_directory(dir.file("done"));
    const std::string before = listing(dir.path().string());
    CliResult r = morvCli("redraw hills.bmp missing.bmp --scale-up --contours --dry-run --outdir done", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "done/hills_4x3_MSU-0_B-0.bmp\ndone/hills_4x3_MSU-0_B-0CL.bmp\n");
    EXPECT_EQ(r.err, "morv-cli: File not found: missing.bmp: No such file or directory\n1 checked, 1 failed, 0 companions skipped\n");
    EXPECT_EQ(listing(dir.path().string()), before);
    EXPECT_EQ(listing(dir.file("done")), "");
    r = morvCli("redraw hills.bmp --scale-up --dry-run --outdir nowhere", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "morv-cli: no folder 'nowhere' for --outdir (make it first)\n");
}

TEST_F(CliRun, InfoOnSeveralMapsAndAsJson) {
    std::filesystem::copy_file(dir.file("hills.bmp"), dir.file("bare.bmp"));
    CliResult r = morvCli("info hills.bmp bare.bmp --json", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "[\n"
              "{\"map\": \"hills.bmp\", \"width\": 4, \"height\": 3, \"high\": 228, \"low\": 20, \"contour\": \"hillsCL.bmp\", \"base\": 128},\n"
              "{\"map\": \"bare.bmp\", \"width\": 4, \"height\": 3, \"high\": 228, \"low\": 20, \"contour\": null, \"base\": null}\n"
              "]\n");
    EXPECT_EQ(r.err, "2 read, 0 failed, 0 companions skipped\n");
    r = morvCli("info bare.bmp --json", dir);
    EXPECT_EQ(r.out, "{\"map\": \"bare.bmp\", \"width\": 4, \"height\": 3, \"high\": 228, \"low\": 20, \"contour\": null, \"base\": null}\n");
    r = morvCli("info hills.bmp hillsCL.bmp bare.bmp -q", dir);
    EXPECT_EQ(r.out,
              "map: hills.bmp\nwidth: 4\nheight: 3\nhigh: 228\nlow: 20\ncontour: hillsCL.bmp\nbase: 128\n\n"
              "map: bare.bmp\nwidth: 4\nheight: 3\nhigh: 228\nlow: 20\ncontour: none\nbase: none\n");
}

TEST_F(CliRun, DashIsRefusedAndDoubleDashEndsTheOptions) {
    std::filesystem::copy_file(dir.file("hills.bmp"), dir.file("-x.bmp"));
    CliResult r = morvCli("redraw --scale-up -- -x.bmp", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-x_4x3_MSU-0_B-0.bmp\n");
    r = morvCli("redraw --scale-up - < hills.bmp", dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("morv-cli: '-' cannot be an INPUT: a map is read together with its contour image", 0), 0u) << r.err;
    r = morvCli("--version", dir);
    EXPECT_EQ(r.out, "morv-cli 1.2.0\n");
    EXPECT_EQ(morvCli("-h", dir).out, cli::usageText());
}

}  // namespace
}  // namespace morv
