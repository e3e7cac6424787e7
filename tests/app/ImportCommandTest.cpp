#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/cli/ImportCommand.h"
#include "io/ImageIO.h"
#include "support/CountingServer.h"
#include "support/DemFiles.h"
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
    std::size_t fileCount() const { return test::entryCount(dir.path()); }
};

TEST_F(ImportCommand, WritesTheMapItsContourImageAndTheReport) {
    const CliResult r = morvCli("import slope.tif -o map.bmp --crs EPSG:32632 --grid 10 --ground 100 --report map.json", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, r.out.find("size:")), "map.bmp\nmapCL.bmp\nmap.scale.json\nmap.json\n");
    EXPECT_NE(r.out.find("size: 289 x 217 pixels, 4 x 3 boards (10 m grid, 10.00 m a pixel)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("voids filled: 0\n"), std::string::npos) << r.out;
    const auto map = loadPictureFile(dir.file("map.bmp"));
    EXPECT_EQ(std::pair(map->width(), map->height()), std::pair(289, 217));
    EXPECT_EQ(std::pair(map->pixel(0, 0), map->pixel(288, 216)), std::pair(Colour(0), fcnGrayColor(255)));
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
    EXPECT_EQ(std::tuple(json["width"].toInt(), json["boardsWide"].toInt(), json["groundLevel"].toInt()), std::tuple(289, 4, 105));
    EXPECT_NEAR(json["metresPerLevel"].toDouble(), (235.2 - 4.8) / 255, 1e-4);
    // The map is an ordinary one to the other commands.
    const CliResult info = morvCli("info map.bmp", dir);
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out.substr(0, 32), "width: 289\nheight: 217\nhigh: 255");
}

TEST_F(ImportCommand, FailuresAreOneLineAndWriteNothing) {
    std::ofstream(dir.file("notes.txt")) << "not elevation data\n";
    std::ofstream(dir.file("taken.bmp")) << "precious";
    test::expectRefusals({{"import notes.txt -o map.bmp", 1, "morv-cli: notes.txt: not a readable elevation file"},
                          {"import slope.tif -o map.bmp --area 20,10,21,11", 1, "morv-cli: the area 20.000000,10.000000,21.000000,11.000000 lies outside every input"},
                          {"import slope.tif -o map.bmp --boards 120x120", 1, "morv-cli: the map would be 17280 x 17280 pixels"},
                          {"import feet.tif -o map.bmp", 1, "morv-cli: feet.tif: heights are in feet, not metres"},
                          {"import slope.tif -o taken.bmp", 1, "morv-cli: taken.bmp exists (use --force to replace it)"},
                          {"import slope.tif -o map.bmp --report nofolder/map.json", 1, "morv-cli: "},
                          {"import missing.tif -o map.bmp", 1, "morv-cli: missing.tif: No such file or directory"},
                          {"import slope.tif -o map.bmp --boards 5x5", 1,
                           "morv-cli: the map (5 x 5 boards) reaches past the data, which covers 4 x 3 whole boards of the 5 m grid"},
                          {"import slope.tif -o map.jpg", 2, "morv-cli: cannot write 'map.jpg': morv-cli writes .bmp, .png files"},
                          {"import slope.tif -o map.bmp --outside far", 2, "morv-cli: --outside takes refuse, ground or extend, not 'far'"},
                          {"import slope.tif -o map.bmp --voids", 2, "morv-cli: --voids needs fill, ground or refuse"},
                          {"import slope.tif -o map.bmp --grid 7", 2, "morv-cli: --grid takes 5 or 10, not '7'"},
                          {"import slope.tif -o map.bmp --grid 10 --spacing 4", 2, "morv-cli: use at most one of --grid and --spacing"},
                          {"import slope.tif -o map.bmp --area 9,46,8,47", 2, "morv-cli: --area takes W,S,E,N"},
                          {"import slope.tif -o map.bmp --heights 300:200", 2, "morv-cli: --heights takes LOW:HIGH"},
                          {"import slope.tif -o map.bmp --boards 2x", 2, "morv-cli: --boards takes WxH"},
                          {"import slope.tif", 2, "morv-cli: import needs -o MAP.bmp"},
                          {"import -o map.bmp", 2, "morv-cli: import needs at least one elevation file"}},
                         dir);
    EXPECT_EQ(test::readFile(dir.file("taken.bmp")), "precious");
    EXPECT_EQ(fileCount(), 5u) << "only the inputs and stderr.txt";
}

TEST_F(ImportCommand, NamesAndTypesFollowRedrawAndInventionIsTold) {
    CliResult r = morvCli("import slope.tif -o map.png --grid 10", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("map.png\nmapCL.png\n", 0), 0u) << r.out;
    const std::string png = test::readFile(dir.file("map.png"));
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(int(png[24]), 8) << "8 bits a sample";
    EXPECT_EQ(int(png[25]), 0) << "grey";
    r = morvCli("import slope.tif -o plain --grid 10 --depth 8", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("plain.bmp\nplainCL.bmp\n", 0), 0u) << r.out;
    EXPECT_EQ(test::readFile(dir.file("plain.bmp")).substr(28, 2), std::string("\x08\x00", 2)) << "8 bits a pixel";

    // Past the data, on the ground: said on standard error, and where in the mask.
    r = morvCli("import slope.tif -o wide.bmp --boards 5x5 --outside ground --void-mask wide-mask.png", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "morv-cli: warning: 49.1 % of the map is not from the data (0 voids, 254400 pixels past its edge)\n");
    EXPECT_EQ(r.out.rfind("wide.bmp\nwideCL.bmp\nwide-mask.png\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("not from the data: 49.07 % of the map\n"), std::string::npos) << r.out;
    const auto mask = loadPictureFile(dir.file("wide-mask.png"));
    EXPECT_EQ(std::pair(mask->pixel(0, 0), mask->pixel(360, 360)), std::pair(fcnGrayColor(255), fcnGrayColor(0)));
}

/// A run of the import in this process with its two streams caught.
CliResult importHere(const std::vector<std::string>& args, const ImportProgress& watch = {}, bool terminal = false) {
    cli::ImportConsole console;
    console.out = std::tmpfile();
    console.err = std::tmpfile();
    console.terminal = terminal;
    console.watch = watch;
    const int status = cli::runImport(args, console);
    return {status, test::contentOf(console.out), test::contentOf(console.err)};
}

TEST_F(ImportCommand, AStopMidwayWritesNothing) {
    const CliResult c = importHere({dir.file("slope.tif"), "-o", dir.file("map.bmp"), "--report", dir.file("map.json")},
                                [](int percent) { return percent >= 40; });
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.err, "morv-cli: the import was cancelled\n");
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(fileCount(), 2u) << "only the inputs";
}

TEST_F(ImportCommand, AnOutputMadeDuringTheRunIsKeptAndReported) {
    const std::string contour = dir.file("mapCL.bmp");
    const std::vector<std::string> args{dir.file("slope.tif"), "-o", dir.file("map.bmp"), "--report", dir.file("map.json")};
    bool made = false;
    auto makeContourAt50 = [&](int percent) {
        if (percent >= 50 && !made) std::ofstream(contour) << "precious", made = true;
        return false;
    };
    const CliResult c = importHere(args, makeContourAt50);
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.err, "morv-cli: " + contour + " exists (use --force to replace it)\n");
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(test::readFile(contour), "precious");
    EXPECT_EQ(fileCount(), 3u) << "the inputs and the file made meanwhile";

    // Told to replace, the run replaces it.
    std::filesystem::remove(contour);
    made = false;
    std::vector<std::string> forced = args;
    forced.push_back("--force");
    EXPECT_EQ(importHere(forced, makeContourAt50).status, 0);
    EXPECT_NE(test::readFile(contour), "precious");
}

TEST_F(ImportCommand, OfTwoRacingImportsToOneNameOneWins) {
    const std::string map = dir.file("map.bmp"), report = dir.file("map.json");
    // The second runs from start to end while the first is half done.
    CliResult second{-1, "", ""};
    const std::vector<std::string> args{dir.file("slope.tif"), "-o", map, "--report", report, "--grid", "10"};
    std::vector<std::string> otherHeights = args;
    otherHeights.insert(otherHeights.end(), {"--heights", "0:1000"});
    const CliResult first = importHere(args, [&](int percent) {
        if (percent >= 50 && second.status == -1) second = importHere(otherHeights);
        return false;
    });
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(first.err, "morv-cli: " + map + " exists (use --force to replace it)\n");
    // What is there is the second's whole set.
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(test::readFile(report))).object();
    EXPECT_EQ(std::pair(json["lowHeight"].toDouble(), json["highHeight"].toDouble()), std::pair(0.0, 1000.0));
    EXPECT_EQ(loadPictureFile(map)->pixel(288, 0), fcnGrayColor(60)) << "235.2 m of 1000 is level 60";
    EXPECT_EQ(fileCount(), 6u);
}

TEST_F(ImportCommand, DrawsOneBarOnATerminalAndNoneWhenQuiet) {
    const std::vector<std::string> args{dir.file("slope.tif"), "-o", dir.file("map.bmp"), "--grid", "10"};
    const CliResult c = importHere(args, {}, true);
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.err.find("\r\033[K[" + std::string(21, '#') + std::string(3, '.') + "] map 1 of 1: "), std::string::npos)
        << "88 to 91 % of the work, mapping the levels";
    EXPECT_NE(c.err.find("[" + std::string(24, '#') + "] map 1 of 1: "), std::string::npos);
    EXPECT_NE(c.err.find("map.bmp\r\033[K"), std::string::npos);
    EXPECT_TRUE(c.err.ends_with("\r\033[K")) << "the line is cleared at the end";
    EXPECT_EQ(c.out.rfind(dir.file("map.bmp") + "\n", 0), 0u);
    for (const char* quiet : {"-q", "--quiet"}) {
        std::vector<std::string> q = args;
        q.insert(q.end(), {quiet, "--force"});
        const CliResult c2 = importHere(q, {}, true);
        EXPECT_EQ(c2.status, 0) << c2.err;
        EXPECT_EQ(c2.err, "") << quiet;
    }
}

TEST_F(ImportCommand, HostileInputsAreOneLineAndAskNoServer) {
    test::CountingServer server;
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/dem.tif";
    // A tiled GeoTIFF cut off after its header, and heights no terrain has.
    test::writeDem(dir.file("cut.tif"), test::dem([](double x, double) { return x - test::kDemX0; },
                                                  [](test::Dem& d) { d.options = {"TILED=YES", "BLOCKXSIZE=64", "BLOCKYSIZE=64"}; }));
    std::filesystem::resize_file(dir.file("cut.tif"), std::filesystem::file_size(dir.file("cut.tif")) / 3);
    test::writeDem(dir.file("nan.tif"), test::dem([](double, double) { return std::nan(""); }));
    test::expectRefusals(
        {{"import /vsicurl/" + url + " -o map.bmp", 1, "morv-cli: /vsicurl/" + url + ": names one of GDAL's virtual file systems"},
         {"import " + url + " -o map.bmp", 1, "morv-cli: " + url + ": is an address, not a file on this machine"},
         {"import cut.tif -o map.bmp", 1, "morv-cli: cut.tif: cannot be read onto the map ("},
         {"import nan.tif -o map.bmp", 1, "morv-cli: the inputs hold no heights in the area"}},
        dir);
    EXPECT_EQ(server.requests(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("map.bmp")));
}

}  // namespace
}  // namespace morv
