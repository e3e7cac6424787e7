#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/cli/CliOptions.h"
#include "io/ImageIO.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

using cli::parseArguments;

TEST(CliArguments, ReadsEveryOption) {
    const auto p = parseArguments({"redraw", "in.bmp", "--ground", "100", "--lower=30", "--invert", "40", "--scale-up",
                                   "--blur", "48", "--contours", "-o", "out.bmp", "--force", "--calc-base"});
    ASSERT_TRUE(p.options) << p.error;
    const cli::Options& o = *p.options;
    EXPECT_EQ(o.input, "in.bmp");
    EXPECT_EQ(o.ground, 100);
    EXPECT_EQ(o.mountains, MountainMode::Lower);
    EXPECT_EQ(o.mountainsPercent, 30);
    EXPECT_EQ(o.valleys, ValleyMode::Invert);
    EXPECT_EQ(o.valleysPercent, 40);
    EXPECT_TRUE(o.scaleUp && o.contours && o.force && o.calcBase);
    EXPECT_EQ(o.blur, 48);
    EXPECT_EQ(o.output, "out.bmp");
}

TEST(CliArguments, BadUsageIsRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate", "a.bmp"},
        {"redraw", "a.bmp"},                                   // no task
        {"redraw", "a.bmp", "--blur", "4", "--contours"},      // blur and contours are no task
        {"redraw", "a.bmp", "--flatten", "10", "--lower", "10"},
        {"redraw", "a.bmp", "--fill", "10", "--invert", "10"},
        {"redraw", "a.bmp", "--flatten", "101"},
        {"redraw", "a.bmp", "--flatten", "-1"},
        {"redraw", "a.bmp", "--flatten", "12.5"},
        {"redraw", "a.bmp", "--flatten"},
        {"redraw", "a.bmp", "--flatten", "50", "--ground", "256"},
        {"redraw", "a.bmp", "--flatten", "50", "--blur", "49"},
        {"redraw", "a.bmp", "--flatten", "50", "--bogus"},
        {"redraw", "a.bmp", "b.bmp", "--flatten", "50"},
        {"redraw", "--flatten", "50"},
        {"redraw", "a.bmp", "--flatten", "50", "--force=yes"},
        {"info"},
        {"info", "a.bmp", "--flatten", "5"},
    };
    for (const auto& args : bad) {
        const auto p = parseArguments(args);
        EXPECT_FALSE(p.options) << ::testing::PrintToString(args);
        EXPECT_FALSE(p.error.empty());
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << "one line";
    }
    EXPECT_TRUE(parseArguments({"redraw", "a.bmp", "--scale-up"}).options);
    EXPECT_EQ(parseArguments({"info", "a.bmp", "--help"}).options->command, cli::Command::Help);
}

/// Runs morv-cli with a shell command line; collects stdout, stderr and the exit status.
struct CliResult {
    int status;
    std::string out, err;
};

CliResult morvCli(const std::string& args, const test::TempDir& dir) {
    const std::string errFile = dir.file("stderr.txt");
    const std::string cmd = "cd '" + dir.path().string() + "' && '" MORV_CLI_PATH "' " + args + " 2>'" + errFile + "'";
    CliResult r{};
    FILE* p = ::popen(cmd.c_str(), "r");
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(errFile);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
}

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

TEST_F(CliRun, ScaleUpAloneAndLowerNameTheirCodes) {
    CliResult r = morvCli("redraw hills.bmp --scale-up --blur 0", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "hills_4x3_MSU-0_B-0.bmp");
    EXPECT_EQ(fcnGrayLevel(loadPictureFile(dir.file("hills_4x3_MSU-0_B-0.bmp"))->pixel(2, 0)), 255);
    r = morvCli("redraw hills.bmp --lower 100 --invert 100 -o low.jpg", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "low.jpg\nlowCL.jpg\n");
    EXPECT_EQ(test::readFile(dir.file("low.jpg")).substr(0, 2), "BM") << "always a BMP";
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
    struct Case {
        std::string args;
        int status;
        std::string errStart;
    };
    std::ofstream(dir.file("text.bmp")) << "not a picture";
    const Case cases[] = {
        {"redraw missing.bmp --flatten 5", 1, "morv-cli: File not found: missing.bmp"},
        {"redraw text.bmp --flatten 5 -o t.bmp", 1, "morv-cli: Invalid picture: text.bmp"},
        {"redraw hills.bmp --flatten 5 -o nofolder/out.bmp", 1, "morv-cli: "},
        {"redraw text.bmp --calc-base --flatten 5", 1, "morv-cli: text.bmp has no contour image"},
        {"redraw hills.bmp", 2, "morv-cli: no task"},
        {"redraw hills.bmp --flatten 500", 2, "morv-cli: --flatten takes a whole number"},
    };
    for (const Case& c : cases) {
        const CliResult r = morvCli(c.args, dir);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.err.rfind(c.errStart, 0), 0u) << c.args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args;
        EXPECT_EQ(r.out, "");
    }
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.path().filename() != "stderr.txt";
    EXPECT_EQ(files, 3u) << "only the two inputs and the text file";
}

TEST_F(CliRun, InfoPrintsTheFactsInOrder) {
    CliResult r = morvCli("info hills.bmp", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "width: 4\nheight: 3\nhigh: 228\nlow: 20\ncontour: hillsCL.bmp\nbase: 128\n");
    std::filesystem::remove(dir.file("hillsCL.bmp"));
    r = morvCli("info hills.bmp", dir);
    EXPECT_EQ(r.out, "width: 4\nheight: 3\nhigh: 228\nlow: 20\ncontour: none\nbase: none\n");
}

}  // namespace
}  // namespace morv
