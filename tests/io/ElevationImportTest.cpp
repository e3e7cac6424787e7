#include <gtest/gtest.h>

#include <unistd.h>

#include <gdal.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <memory>
#include <string>

#include "analysis/Contours.h"
#include "analysis/ShadedRelief.h"
#include "commands/ImportCommands.h"
#include "support/CountingServer.h"
#include "support/DemFiles.h"
#include "support/TestSupport.h"

// Options are written with designated initializers, the fields left out at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morv {
namespace {

namespace fs = std::filesystem;

using test::dem;
using test::Dem;
using test::writeDem;
constexpr double kX0 = test::kDemX0, kY0 = test::kDemY0;

const std::string kUtm = "EPSG:32632";

class ElevationImport : public ::testing::Test {
protected:
    test::TempDir tmp;
    const fs::path& dir = tmp.path();
    std::string file(const std::string& name) const { return tmp.file(name); }

    /// A 3000 x 2200 m tile in UTM 32N at 10 m, rising 0.08 m a metre eastwards.
    std::string slope() {
        const std::string path = file("slope.tif");
        writeDem(path, dem([](double x, double) { return 0.08 * (x - kX0); }));
        return path;
    }

    /// A 288 x 288 grid of 5 m in the map's own system, so that every pixel lands on a
    /// sample: heights by sample column and row.
    std::string grid5(const std::string& name, const std::function<double(int, int)>& height, std::optional<double> noData = {}) {
        writeDem(file(name), dem([=](double x, double y) { return height(int((x - kX0) / 5), int((kY0 - y) / 5)); },
                                 [&](Dem& d) { d.pixelX = 5, d.pixelY = -5, d.width = d.height = 288, d.noData = noData; }));
        return file(name);
    }
};

/// The message of the import's refusal, or "" when it was accepted.
std::string refusal(const ImportOptions& o) {
    try {
        importElevation(o);
    } catch (const ImportError& e) {
        return e.what();
    }
    return "";
}

/// A virtual raster description of a 300 x 220 tile in UTM 32N whose samples come from source.
std::string vrtText(const std::string& source) {
    return "<VRTDataset rasterXSize=\"300\" rasterYSize=\"220\"><SRS>EPSG:32632</SRS>"
           "<GeoTransform>500000, 10, 0, 5100000, 0, -10</GeoTransform>"
           "<VRTRasterBand dataType=\"Float32\" band=\"1\"><SimpleSource><SourceFilename>" +
           source + "</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>\n";
}

int at(const HeightImage& p, int x, int y) { return p.grey()[std::size_t(y) * std::size_t(p.width()) + std::size_t(x)]; }

TEST_F(ElevationImport, CutsWholeBoardsTheAreaHoldsOrAsked) {
    const std::string slopeDem = slope();
    struct Case { int grid; std::optional<GridSize> boards; std::optional<double> spacing; int width, height, boardsWide, boardsHigh; } cases[] = {
        {5, {}, {}, 576, 432, 4, 3},        // 3000 x 2200 m holds 4 x 3 boards of 720 m
        {10, {}, {}, 289, 217, 4, 3},       // 72 a board plus the closing row: 2170 m still fits in 2200
        {5, GridSize{2, 1}, {}, 288, 144, 2, 1},
        {10, GridSize{1, 2}, {}, 73, 145, 1, 2},
        {5, {}, 2.5, 1152, 864, 8, 6},      // a finer spacing holds more of the same boards
    };
    for (const Case& c : cases) {
        const ImportResult r = importElevation({.inputs = {slopeDem}, .crs = kUtm, .grid = BoardGrid(c.grid), .spacing = c.spacing, .boards = c.boards});
        EXPECT_EQ(std::pair(r.map.width(), r.map.height()), std::pair(c.width, c.height)) << "grid " << c.grid;
        EXPECT_EQ(std::pair(r.contour.width(), r.contour.height()), std::pair(c.width, c.height)) << "grid " << c.grid;
        EXPECT_EQ(r.report.boardsWide, c.boardsWide) << "grid " << c.grid;
        EXPECT_EQ(r.report.boardsHigh, c.boardsHigh) << "grid " << c.grid;
    }
}

TEST_F(ElevationImport, MapsKnownHeightsToTheNearestLevel) {
    // 576 pixels centred on the 3000 m tile: pixel x lies at 62.5 + 5 x metres, 5 + 0.4 x metres high.
    ImportOptions o{.inputs = {slope()}, .crs = kUtm, .lowHeight = 0, .highHeight = 255};
    ImportResult r = importElevation(o);
    ASSERT_EQ(r.map.width(), 576);
    for (int x : {0, 1, 2, 3, 4, 100, 575})
        EXPECT_EQ(at(r.map, x, 200), std::lround(5 + 0.4 * x)) << "x " << x;
    EXPECT_DOUBLE_EQ(r.report.metresPerLevel, 1.0);
    EXPECT_NEAR(r.report.dataLow, 5.0, 1e-3);
    EXPECT_NEAR(r.report.dataHigh, 5 + 0.4 * 575, 1e-3);

    // Without heights the map's own lowest and highest become 0 and 255.
    o.lowHeight.reset(), o.highHeight.reset();
    r = importElevation(o);
    const double perLevel = 0.4 * 575 / 255;
    EXPECT_NEAR(r.report.metresPerLevel, perLevel, 1e-6);
    for (int x : {0, 1, 2, 3, 287, 574, 575})
        EXPECT_EQ(at(r.map, x, 10), std::lround(0.4 * x / perLevel)) << "x " << x;
    EXPECT_EQ(at(r.map, 575, 0), 255);
}

TEST_F(ElevationImport, PutsThePeakWhereItLiesAfterProjection) {
    // A cone in longitudes and latitudes, its tip on a sample at 9.02 E 46.03 N.
    const std::string path = file("peak.tif");
    const double tipLon = 9.02005, tipLat = 46.02995;
    writeDem(path, dem([&](double lon, double lat) {
                           return std::max(0.0, 1500 - std::hypot((lon - tipLon) * 77000, (lat - tipLat) * 111000));
                       },
                       [](Dem& d) {
                           d.epsg = 4326, d.originX = 9.0, d.originY = 46.06, d.pixelX = 0.0001, d.pixelY = -0.0001;
                           d.width = 500, d.height = 600;
                       }));
    const ImportResult r = importElevation({.inputs = {path}, .area = GeoBox{9.005, 46.005, 9.045, 46.055}, .ground = 1000});
    EXPECT_EQ(r.report.crs, "EPSG:32632");
    OGRSpatialReference wgs84, utm;
    wgs84.importFromEPSG(4326), utm.importFromEPSG(32632);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER), utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&wgs84, &utm));
    double x = tipLon, y = tipLat;
    ASSERT_TRUE(ct->Transform(1, &x, &y));
    const double col = (x - r.report.originX) / 5 - 0.5, row = (r.report.originY - y) / 5 - 0.5;
    double sx = 0, sy = 0;
    int n = 0;
    for (int py = 0; py < r.map.height(); ++py)
        for (int px = 0; px < r.map.width(); ++px)
            if (at(r.map, px, py) == 255) sx += px, sy += py, ++n;
    ASSERT_GT(n, 0);
    EXPECT_NEAR(sx / n, col, 1.0);
    EXPECT_NEAR(sy / n, row, 1.0);

    // The contour image is the program's own rule drawn black on white, a ring 500 m round the tip.
    HeightImage contour(r.map.width(), r.map.height(), 255);
    markContours(r.map, fcnGrayColor(r.report.groundLevel), contour, nullptr);
    const std::uint8_t* made = r.contour.grey();
    EXPECT_TRUE(std::equal(made, made + r.contour.pixelCount(), contour.grey()));
    EXPECT_NE(std::count(made, made + r.contour.pixelCount(), 0), 0);
}

TEST_F(ElevationImport, FillsVoidsFromTheirNeighboursAndCountsThem) {
    // Flat at 100 m with a hill at the far corner, and a hole of 10 x 12 samples in the flat.
    auto terrain = [](int px, int py, double hole) {
        return px >= 50 && px < 60 && py >= 40 && py < 52 ? hole : px > 250 && py > 250 ? 355.0 : 100.0;
    };
    // Marked by the file's void value, with another hole at an edge.
    ImportResult r = importElevation(
        {.inputs = {grid5("holes.tif", [&](int px, int py) { return px < 3 && py < 7 ? -32768.0 : terrain(px, py, -32768); }, -32768)},
         .crs = kUtm});
    ASSERT_EQ(r.map.width(), 288);
    EXPECT_EQ(r.report.voidsFilled, 10 * 12 + 3 * 7);
    EXPECT_DOUBLE_EQ(r.report.dataLow, 100);
    for (auto [px, py] : {std::pair{55, 45}, {50, 40}, {59, 51}, {0, 0}, {2, 6}}) EXPECT_EQ(at(r.map, px, py), 0) << px << "," << py;
    EXPECT_EQ(at(r.map, 280, 280), 255);
    // Without a void value of its own: NaN in the hole, infinities in two samples.
    r = importElevation({.inputs = {grid5("nan.tif", [&](int px, int py) {
        return px == 100 && py == 100 ? HUGE_VAL : px == 200 && py == 30 ? -HUGE_VAL : terrain(px, py, std::nan(""));
    })}, .crs = kUtm});
    EXPECT_GE(r.report.voidsFilled, 10 * 12 + 2);
    EXPECT_LE(r.report.voidsFilled, 10 * 12 + 2 * 9);
    EXPECT_DOUBLE_EQ(r.report.dataLow, 100);
    EXPECT_DOUBLE_EQ(r.report.dataHigh, 355);
    EXPECT_NEAR(r.report.metresPerLevel, 1.0, 1e-9);
    for (auto [px, py] : {std::pair{55, 45}, {100, 100}, {200, 30}}) EXPECT_EQ(at(r.map, px, py), 0) << px << "," << py;
    EXPECT_EQ(at(r.map, 280, 280), 255);
}

TEST_F(ElevationImport, ReadsAnSrtmTileAndMosaicsItsNeighbour) {
    // Two synthetic one-arc-second tiles side by side, heights rising 360 m a degree eastwards.
    for (int lon : {9, 10}) {
        char name[16];
        std::snprintf(name, sizeof name, "N46E%03d.hgt", lon);
        writeDem(file(name), dem([](double lon_, double) { return std::round((lon_ - 9) * 360); }, [&](Dem& d) {
                     d.driver = "SRTMHGT", d.epsg = 4326, d.originX = lon - 0.5 / 3600, d.originY = 47 + 0.5 / 3600;
                     d.pixelX = 1.0 / 3600, d.pixelY = -1.0 / 3600, d.width = 3601, d.height = 3601;
                 }));
    }
    const ImportResult r = importElevation({.inputs = {file("N46E009.hgt"), file("N46E010.hgt")}, .area = GeoBox{9.99, 46.5, 10.01, 46.51},
                                            .boards = GridSize{1, 1}, .lowHeight = 0, .highHeight = 720});
    EXPECT_EQ(r.map.width(), 144);
    EXPECT_EQ(r.report.voidsFilled, 0);
    // Across the seam at 10 E the heights run on smoothly: 360 m there, level 127.5.
    for (int y : {0, 71, 143})
        for (int x = 1; x < 144; ++x) EXPECT_GE(at(r.map, x, y), at(r.map, x - 1, y));
    EXPECT_NEAR(at(r.map, 72, 72), 127.5, 2);
}

TEST_F(ElevationImport, RefusesBadInputWithOneLine) {
    const std::string s = slope();
    const std::string text = file("notes.txt");
    std::ofstream(text) << "not elevation data\n";
    const std::string fifo = file("pipe.tif");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string feet = file("feet.tif"), degrees = file("degrees.tif");
    writeDem(feet, dem([](double, double) { return 1.0; }, [](Dem& d) { d.unit = "ft"; }));
    writeDem(degrees, dem([](double, double) { return 1.0; }, [](Dem& d) { d.unit = "deg"; }));
    struct Case { ImportOptions options; std::string message; } cases[] = {
        {{.inputs = {text}}, text + ": not a readable elevation file"},
        {{.inputs = {file("missing.tif")}}, file("missing.tif") + ": No such file or directory"},
        {{.inputs = {fifo}}, fifo + ": not a regular file (it is a FIFO)"},  // would hold the open forever
        {{.inputs = {s}, .area = GeoBox{20, 10, 21, 11}}, "the area 20.000000,10.000000,21.000000,11.000000 lies outside every input"},
        {{.inputs = {s}, .crs = kUtm, .boards = GridSize{120, 120}}, "the map would be 17280 x 17280 pixels"},
        {{.inputs = {s}, .crs = kUtm, .boards = GridSize{40000, 1}}, "the map would be larger than the largest picture"},
        {{.inputs = {s}, .crs = kUtm, .spacing = 50}, "the area is 3000 x 2200 m, too small for one whole base board"},
        {{.inputs = {feet}}, feet + ": heights are in feet, not metres"},
        {{.inputs = {degrees}}, degrees + ": heights are in degrees, not metres"},
        {{.inputs = {s}, .crs = "EPSG:4326"}, "--crs EPSG:4326: not a projected coordinate system"},
    };
    for (const Case& c : cases) {
        const std::string why = refusal(c.options);  // "" when accepted
        EXPECT_EQ(why.rfind(c.message, 0), 0u) << why << " / " << c.message;
        EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    }
}

TEST_F(ElevationImport, NoInputReachesTheNetworkOrOtherFiles) {
    test::CountingServer server;
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port());
    const std::string own = file("own.tif");
    writeDem(own, dem([](double x, double) { return 0.08 * (x - kX0); }));
    // A file in another folder, and descriptions that would read it or the server.
    fs::create_directories(dir / "elsewhere");
    writeDem(file("elsewhere/secret.tif"), dem([](double, double) { return 1234.0; }));
    std::ofstream(file("remote.vrt")) << vrtText("/vsicurl/" + url + "/remote.tif");
    std::ofstream(file("local.vrt")) << vrtText(file("elsewhere/secret.tif"));
    std::ofstream(file("tiles.xml")) << "<GDAL_WMS><Service name=\"WMS\"><Version>1.1.1</Version><ServerUrl>" + url +
                                            "/wms?</ServerUrl><SRS>EPSG:4326</SRS><ImageFormat>image/tiff</ImageFormat>"
                                            "<Layers>dem</Layers></Service><DataWindow><UpperLeftX>9</UpperLeftX>"
                                            "<UpperLeftY>46.1</UpperLeftY><LowerRightX>9.1</LowerRightX>"
                                            "<LowerRightY>46</LowerRightY><SizeX>4000</SizeX><SizeY>4000</SizeY>"
                                            "</DataWindow><Projection>EPSG:4326</Projection><BandsCount>1</BandsCount>"
                                            "<DataType>Float32</DataType></GDAL_WMS>\n";
    const std::string vrtRefused = ": not a readable elevation file (Virtual Raster files are not read, only GeoTIFF, "
                                   "SRTM .hgt, ESRI ASCII grid or USGS DEM files)";
    const struct { std::string input, message; } cases[] = {
        {"/vsicurl/" + url + "/dem.tif", "/vsicurl/" + url + "/dem.tif: names one of GDAL's virtual file systems"},
        {url + "/dem.tif", url + "/dem.tif: is an address, not a file on this machine"},
        {file("remote.vrt"), file("remote.vrt") + vrtRefused},
        {file("local.vrt"), file("local.vrt") + vrtRefused},
        {file("tiles.xml"), file("tiles.xml") + ": not a readable elevation file (OGC Web Map Service files are not read"},
        // GDAL's own syntax for a directory inside a TIFF names no file here.
        {"GTIFF_DIR:1:" + file("elsewhere/secret.tif"),
         "GTIFF_DIR:1:" + file("elsewhere/secret.tif") + ": No such file or directory"},
    };
    for (const auto& c : cases) {
        const std::string why = refusal({.inputs = {c.input}, .area = GeoBox{9.01, 46.01, 9.03, 46.03}});
        EXPECT_EQ(why.rfind(c.message, 0), 0u) << why;
    }
    // Overviews and a mask beside a GeoTIFF are datasets of their own that could name
    // anything: the file's own samples are read, nothing beside it.
    std::ofstream(own + ".ovr") << vrtText("/vsicurl/" + url + "/overview.tif");
    std::ofstream(own + ".msk") << vrtText("/vsicurl/" + url + "/mask.tif");
    const ImportOptions coarse{.inputs = {own}, .crs = kUtm, .spacing = 25, .pixels = GridSize{100, 80}};
    const ImportResult r = importElevation(coarse);
    EXPECT_EQ(r.report.voidsFilled, 0);
    EXPECT_NEAR(r.report.dataHigh - r.report.dataLow, 0.08 * 25 * 99, 0.5);
    EXPECT_EQ(server.requests(), 0);
    // Nor does auxiliary XML beside it change what its samples mean.
    std::ofstream(own + ".aux.xml") << "<PAMDataset><PAMRasterBand band=\"1\"><UnitType>ft</UnitType>"
                                       "</PAMRasterBand></PAMDataset>\n";
    EXPECT_EQ(refusal(coarse), "");
}

TEST_F(ElevationImport, ReadsAnEsriGridWithItsCoordinateSystem) {
    // The grid's coordinate system lives in a .prj beside it: that side-car is read.
    const std::string path = file("grid.asc");
    writeDem(path, dem([](double x, double) { return 0.08 * (x - kX0); }, [](Dem& d) { d.driver = "AAIGrid"; }));
    ASSERT_TRUE(fs::exists(file("grid.prj")));
    const ImportResult r = importElevation({.inputs = {path}, .boards = GridSize{1, 1}});
    EXPECT_EQ(r.report.crs, "EPSG:32632");
    EXPECT_EQ(r.map.width(), 144);
}

TEST_F(ElevationImport, RefusesAHeaderThatAsksForTooMuchReading) {
    // 1,000,000 x 1,000,000 samples of 0.25 m declared, none stored: a 40 km map over it
    // would read 160,000 x 160,000 of them.
    const std::string huge = file("huge.tif");
    test::writeSparseDem(huge, dem({}, [](Dem& d) {
        d.width = d.height = 1000000, d.pixelX = 0.25, d.pixelY = -0.25, d.originX = 375000, d.originY = 5225000;
    }));
    ASSERT_LT(fs::file_size(huge), 4u << 20);
    const std::string why = refusal({.inputs = {huge}, .crs = kUtm, .spacing = 20, .pixels = GridSize{2000, 2000}});
    EXPECT_EQ(why, huge + ": the map's area covers 160000 x 160000 of its 1000000 x 1000000 samples (25600000000 from "
                          "the inputs in all), more than the 1073741824 an import reads; choose a smaller area or a "
                          "coarser spacing, or add overviews to the file");
    // The budget is for all the inputs together: twice 25,000 x 25,000 is too much.
    const std::string twice = refusal({.inputs = {huge, huge}, .crs = kUtm, .spacing = 5, .pixels = GridSize{1250, 1250}});
    EXPECT_EQ(twice.rfind(huge + ": the map's area covers 25000 x 25000 of its 1000000 x 1000000 samples "
                                 "(1250000000 from the inputs in all)", 0), 0u) << twice;
    // A block is read whole, so one of 16384 x 16384 samples is too large even for a small map.
    const std::string blocks = file("blocks.tif");
    test::writeSparseDem(blocks, dem({}, [](Dem& d) {
        d.width = d.height = 20000, d.pixelX = 1, d.pixelY = -1, d.options = {"BLOCKXSIZE=16384", "BLOCKYSIZE=16384"};
    }));
    EXPECT_EQ(refusal({.inputs = {blocks}, .crs = kUtm, .pixels = GridSize{40, 40}}),
              blocks + ": its blocks of 16384 x 16384 samples are too large to read");
    // A small part of it is read as usual: samples never written read as 0 m.
    const ImportResult r = importElevation({.inputs = {huge}, .crs = kUtm, .spacing = 5, .pixels = GridSize{40, 40}});
    EXPECT_EQ(r.report.dataLow, 0);
    EXPECT_EQ(r.report.dataHigh, 0);
}

TEST_F(ElevationImport, ReadsTheOverviewThatSuitsTheSpacing) {
    // 1 m samples at 100 m, their 2x overview at 300 m and their 4x one at 500 m: the
    // coarsest overview whose samples are no larger than the map's pixels is read.
    const std::string path = file("levels.tif");
    writeDem(path, dem([](double, double) { return 100.0; }, [](Dem& d) {
        d.pixelX = 1, d.pixelY = -1, d.width = d.height = 1024, d.overviewHeights = {300, 500};
        d.options = {"TILED=YES", "COMPRESS=DEFLATE"};
    }));
    const struct { double spacing, height; } cases[] = {{1, 100}, {1.9, 100}, {2, 300}, {3.5, 300}, {5, 500}};
    for (const auto& c : cases) {
        const ImportResult r = importElevation({.inputs = {path}, .crs = kUtm, .spacing = c.spacing, .pixels = GridSize{100, 100}});
        EXPECT_DOUBLE_EQ(r.report.dataLow, c.height) << "spacing " << c.spacing;
    }
}

TEST_F(ElevationImport, RefusesHeightsNoTerrainHasAndSaysWhere) {
    const std::string path = file("stray.tif");
    auto stray = [&](double value) { grid5("stray.tif", [=](int px, int py) { return px == 100 && py == 60 ? value : 100.0 + 0.01 * (5 * px + 2.5); }); };
    const std::string place = " m at map pixel 100,60 (longitude 9.006495, latitude 46.050852), sample 100,60 of " + path +
                              " is not terrain (heights lie between -500 and 9000 m); give the heights for levels 0 "
                              "and 255 (--heights LOW:HIGH) to map it anyway";
    for (auto [value, text] : {std::pair{1e30, "1e+30"}, {9500.0, "9500"}, {-600.0, "-600"}}) {
        stray(value);
        EXPECT_EQ(refusal({.inputs = {path}, .crs = kUtm}), "a height of " + std::string(text) + place);
    }
    // Inside the range, or with the heights given, the map is made.
    stray(-450);
    EXPECT_EQ(refusal({.inputs = {path}, .crs = kUtm}), "");
    stray(1e30);
    const ImportResult r = importElevation({.inputs = {path}, .crs = kUtm, .lowHeight = 100, .highHeight = 355});
    EXPECT_EQ(at(r.map, 100, 60), 255);
    EXPECT_EQ(at(r.map, 0, 0), 0);
}

// GDAL's messages becoming the one line, none on standard error: ImportCommand.HostileInputsAreOneLineAndAskNoServer.

TEST_F(ElevationImport, BoardsPastTheDataAreRefusedUnlessAsked) {
    // 3000 x 2200 m of data holds 4 x 3 boards; 5 x 5 boards (3600 m) reach past it.
    const std::string path = slope();
    auto with = [&](OutsidePolicy o) { return ImportOptions{.inputs = {path}, .crs = kUtm, .boards = GridSize{5, 5}, .outside = o}; };
    EXPECT_EQ(refusal(with(OutsidePolicy::Refuse)),
              "the map (5 x 5 boards) reaches past the data, which covers 4 x 3 whole boards of the 5 m grid: 49.1 % of "
              "it would be invented; ask for fewer boards or a smaller area, or give --outside ground or extend");
    // 720 x 720 pixels centred on 600 x 440 of data.
    const ImportResult ground = importElevation(with(OutsidePolicy::Ground));
    EXPECT_EQ(ground.report.outsidePixels, 720 * 720 - 600 * 440);
    EXPECT_EQ(ground.report.voidsFilled, 0);
    EXPECT_DOUBLE_EQ(ground.report.inventedShare, double(720 * 720 - 600 * 440) / (720 * 720));
    EXPECT_EQ(at(ground.map, 0, 0), 0) << "the ground: the lowest height, level 0";
    EXPECT_EQ(at(ground.map, 719, 360), 0);
    for (auto [x, y, invented] : {std::tuple{0, 0, 255}, {59, 360, 255}, {60, 360, 0}, {360, 140, 0}, {360, 139, 255}})
        EXPECT_EQ(at(ground.invented, x, y), invented) << x << "," << y;
    // Extended, the eastern edge's height carries on eastwards.
    const ImportResult extended = importElevation(with(OutsidePolicy::Extend));
    EXPECT_GE(at(extended.map, 719, 360), 250);
    EXPECT_LE(at(extended.map, 0, 360), 5);
    EXPECT_EQ(extended.report.outsidePixels, 720 * 720 - 600 * 440);
}

TEST_F(ElevationImport, AHoleInAPlaneIsFilledWithinThePlane) {
    // A 5 m grid in the map's own system: a plane rising 1 m a pixel eastwards,
    // 100 to 387 m, with a hole of 30 x 20 samples.
    const std::string path = grid5("plane.tif", [](int px, int py) {
        return px >= 100 && px < 130 && py >= 50 && py < 70 ? -32768.0 : 100.0 + px;
    }, -32768);
    ImportOptions o{.inputs = {path}, .crs = kUtm, .lowHeight = 100, .highHeight = 355};
    const ImportResult r = importElevation(o);
    EXPECT_EQ(r.report.voidsFilled, 30 * 20);
    EXPECT_DOUBLE_EQ(r.report.inventedShare, 600.0 / (288 * 288));
    EXPECT_EQ(r.report.outsidePixels, 0);
    for (int py = 50; py < 70; ++py)
        for (int px = 100; px < 130; ++px) {
            EXPECT_GE(at(r.map, px, py), 99) << px << "," << py;
            EXPECT_LE(at(r.map, px, py), 130) << px << "," << py;
            EXPECT_NEAR(at(r.map, px, py), px, 2) << px << "," << py;
            EXPECT_EQ(at(r.invented, px, py), 255);
        }
    EXPECT_EQ(at(r.invented, 99, 50), 0);
    // Told to, the hole is the ground, or refused.
    o.voids = VoidPolicy::Ground;
    EXPECT_EQ(at(importElevation(o).map, 110, 60), 0);
    o.voids = VoidPolicy::Refuse;
    EXPECT_EQ(refusal(o), "600 pixels of the map (0.72 %) have no data; give --voids fill or ground to import anyway");
}

TEST_F(ElevationImport, ACoarseGridIsProjectedAsExactly) {
    // Hills of 2 km on a 0.01 degree grid (about 1 km), 0.8 x 0.6 degrees, onto 100 m pixels.
    const std::string path = file("coarse.tif");
    writeDem(path, dem([](double lon, double lat) { return 1000 + 600 * std::sin(lon * 300) * std::cos(lat * 250); },
                       [](Dem& d) {
                           d.epsg = 4326, d.originX = 8.6, d.originY = 46.8, d.pixelX = 0.01, d.pixelY = -0.01;
                           d.width = 80, d.height = 60;
                       }));
    ImportOptions o{.inputs = {path}, .area = GeoBox{8.7, 46.3, 9.3, 46.7}, .spacing = 100, .lowHeight = 0, .highHeight = 2000};
    const ImportResult r = importElevation(o);
    // The same grid warped with an exact transformation.
    GDALDatasetH src = GDALOpen(path.c_str(), GA_ReadOnly);
    ASSERT_NE(src, nullptr);
    GDALDatasetH dst = GDALCreate(GDALGetDriverByName("MEM"), "", r.report.width, r.report.height, 1, GDT_Float32, nullptr);
    double gt[6] = {r.report.originX, r.report.spacing, 0, r.report.originY, 0, -r.report.spacing};
    GDALSetGeoTransform(dst, gt);
    GDALSetProjection(dst, r.report.crsWkt.c_str());
    const char* args[] = {"-r", "bilinear", "-et", "0", nullptr};
    GDALWarpAppOptions* wo = GDALWarpAppOptionsNew(const_cast<char**>(args), nullptr);
    ASSERT_NE(GDALWarp(nullptr, dst, 1, &src, wo, nullptr), nullptr);
    GDALWarpAppOptionsFree(wo);
    std::vector<float> exact(std::size_t(r.report.width) * std::size_t(r.report.height));
    ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(dst, 1), GF_Read, 0, 0, r.report.width, r.report.height, exact.data(),
                           r.report.width, r.report.height, GDT_Float32, 0, 0),
              CE_None);
    GDALClose(dst);
    GDALClose(src);
    int worst = 0;
    for (int y = 2; y < r.report.height - 2; ++y)
        for (int x = 2; x < r.report.width - 2; ++x)
            worst = std::max(worst, std::abs(at(r.map, x, y) - levelOfHeight(exact[std::size_t(y) * std::size_t(r.report.width) + std::size_t(x)], 0, 2000)));
    EXPECT_LE(worst, 1);
}

TEST(ElevationPreview, ShadedReliefIsLitFromTheNorthWest) {
    // A ramp of 1 level a pixel at 1 m a level and 1 m a pixel: slopes of 45 degrees.
    struct Case { const char* slope; int dx, dy, shade; } cases[] = {
        {"flat", 0, 0, 180},
        {"rising east, facing the light's west", 1, 0, 218},   // (0.5 + 0.707) / 1.414
        {"rising west", -1, 0, 37},
        {"rising south, facing north", 0, 1, 218},
        {"rising north", 0, -1, 37},
        {"rising south-east, facing the light", 1, 1, 251},     // (1 + 0.707) / 1.732 = 0.986
    };
    for (const Case& c : cases) {
        HeightImage map(9, 9);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) map.grey()[y * 9 + x] = std::uint8_t(100 + c.dx * x + c.dy * y);
        EXPECT_NEAR(shadedRelief(map, 1.0, 1.0).grey()[4 * 9 + 4], c.shade, 1) << c.slope;
    }
}

}  // namespace
}  // namespace morv
