#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/ImportCommand.h"
#include "io/ImageIO.h"
#include "support/CountingServer.h"
#include "support/DemFiles.h"
#include "support/TestSupport.h"
#include "support/CliRun.h"

namespace morv {
namespace {

using test::CliResult;
using test::morvCli;

struct ImportCommand : ::testing::Test {
    test::TempDir dir;
    void SetUp() override {
        // 3000 x 2200 m rising 0.08 m a metre eastwards, and the same in feet.
        test::writeDem(dir.file("slope.tif"), test::dem([](double x, double) { return 0.08 * (x - test::kDemX0); }));
        test::writeDem(dir.file("feet.tif"), test::dem([](double, double) { return 3.0; },
                                                       [](test::Dem& d) { d.unit = "ft"; }));
    }
    std::size_t fileCount() const {
        std::size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) n += e.path().filename() != "stderr.txt";
        return n;
    }
};

TEST_F(ImportCommand, WritesTheMapItsContourImageAndTheReport) {
    const CliResult r = morvCli("import slope.tif -o map.bmp --crs EPSG:32632 --grid 10 --ground 100 --report map.json", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, r.out.find("size:")), "map.bmp\nmapCL.bmp\nmap.json\n");
    EXPECT_NE(r.out.find("size: 289 x 217 pixels, 4 x 3 boards (10 m grid, 10.00 m a pixel)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("voids filled: 0\n"), std::string::npos) << r.out;
    const auto map = loadPictureFile(dir.file("map.bmp"));
    EXPECT_EQ(map->width(), 289);
    EXPECT_EQ(map->height(), 217);
    EXPECT_EQ(map->pixel(0, 0), 0);
    EXPECT_EQ(map->pixel(288, 216), fcnGrayColor(255));
    // Pixel x lies 60 + 10 x metres east, at 4.8 + 0.8 x m: 100 m is level 105.4, so the
    // first black pixel of each row is the first at level 105.
    const auto contour = loadPictureFile(dir.file("mapCL.bmp"));
    for (int y : {0, 100, 216}) {
        int firstBlack = -1;
        for (int x = 0; x < 289 && firstBlack < 0; ++x)
            if (contour->pixel(x, y) == 0) firstBlack = x;
        ASSERT_GE(firstBlack, 0);
        EXPECT_EQ(map->pixel(firstBlack, y), fcnGrayColor(105));
        EXPECT_LT(map->pixel(firstBlack - 1, y), fcnGrayColor(105));
    }
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(test::readFile(dir.file("map.json")))).object();
    EXPECT_EQ(json["width"].toInt(), 289);
    EXPECT_EQ(json["boardsWide"].toInt(), 4);
    EXPECT_NEAR(json["metresPerLevel"].toDouble(), (235.2 - 4.8) / 255, 1e-4);
    EXPECT_EQ(json["groundLevel"].toInt(), 105);
    // The map is an ordinary one to the other commands.
    const CliResult info = morvCli("info map.bmp", dir);
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out.substr(0, 32), "width: 289\nheight: 217\nhigh: 255");
}

TEST_F(ImportCommand, FailuresAreOneLineAndWriteNothing) {
    std::ofstream(dir.file("notes.txt")) << "not elevation data\n";
    std::ofstream(dir.file("taken.bmp")) << "precious";
    const struct {
        std::string args;
        int status;
        std::string errStart;
    } cases[] = {
        {"import notes.txt -o map.bmp", 1, "morv-cli: notes.txt: not a readable elevation file"},
        {"import slope.tif -o map.bmp --area 20,10,21,11", 1, "morv-cli: the area 20.000000,10.000000,21.000000,11.000000 lies outside every input"},
        {"import slope.tif -o map.bmp --boards 120x120", 1, "morv-cli: the map would be 17280 x 17280 pixels"},
        {"import feet.tif -o map.bmp", 1, "morv-cli: feet.tif: heights are in feet, not metres"},
        {"import slope.tif -o taken.bmp", 1, "morv-cli: taken.bmp exists (use --force to replace it)"},
        {"import slope.tif -o map.bmp --report nofolder/map.json", 1, "morv-cli: "},
        {"import slope.tif -o map.bmp --grid 7", 2, "morv-cli: --grid takes 5 or 10, not '7'"},
        {"import slope.tif -o map.bmp --grid 10 --spacing 4", 2, "morv-cli: use at most one of --grid and --spacing"},
        {"import slope.tif -o map.bmp --area 9,46,8,47", 2, "morv-cli: --area takes W,S,E,N"},
        {"import slope.tif -o map.bmp --heights 300:200", 2, "morv-cli: --heights takes LOW:HIGH"},
        {"import slope.tif -o map.bmp --boards 2x", 2, "morv-cli: --boards takes WxH"},
        {"import slope.tif", 2, "morv-cli: import needs -o MAP.bmp"},
        {"import -o map.bmp", 2, "morv-cli: import needs at least one elevation file"},
    };
    for (const auto& c : cases) {
        const CliResult r = morvCli(c.args, dir);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.err.rfind(c.errStart, 0), 0u) << c.args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
    }
    EXPECT_EQ(test::readFile(dir.file("taken.bmp")), "precious");
    EXPECT_EQ(fileCount(), 4u) << "only the inputs";
}

TEST_F(ImportCommand, HostileInputsAreOneLineAndAskNoServer) {
    test::CountingServer server;
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/dem.tif";
    // A tiled GeoTIFF cut off after its header, and heights no terrain has.
    test::writeDem(dir.file("cut.tif"), test::dem([](double x, double) { return x - test::kDemX0; },
                                                  [](test::Dem& d) { d.options = {"TILED=YES", "BLOCKXSIZE=64", "BLOCKYSIZE=64"}; }));
    std::filesystem::resize_file(dir.file("cut.tif"), std::filesystem::file_size(dir.file("cut.tif")) / 3);
    test::writeDem(dir.file("nan.tif"), test::dem([](double, double) { return std::nan(""); }));
    const struct {
        std::string args, errStart;
    } cases[] = {
        {"import /vsicurl/" + url + " -o map.bmp", "morv-cli: /vsicurl/" + url + ": names one of GDAL's virtual file systems"},
        {"import " + url + " -o map.bmp", "morv-cli: " + url + ": is an address, not a file on this machine"},
        {"import cut.tif -o map.bmp", "morv-cli: cut.tif: cannot be read onto the map ("},
        {"import nan.tif -o map.bmp", "morv-cli: the inputs hold no heights in the area"},
    };
    for (const auto& c : cases) {
        const CliResult r = morvCli(c.args, dir);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err.rfind(c.errStart, 0), 0u) << c.args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.args;
    }
    EXPECT_EQ(server.requests(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("map.bmp")));
}

}  // namespace
}  // namespace morv
