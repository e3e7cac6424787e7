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

namespace morv {
namespace {

namespace fs = std::filesystem;

using test::dem;
using test::Dem;
using test::writeDem;
constexpr double kX0 = test::kDemX0, kY0 = test::kDemY0;

/// Options for the inputs, other fields changed by set.
ImportOptions options(std::vector<std::string> inputs, const std::function<void(ImportOptions&)>& set = {}) {
    ImportOptions o;
    o.inputs = std::move(inputs);
    if (set) set(o);
    return o;
}

class ElevationImport : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("morv-dem-" + std::to_string(::getpid()) + "-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string file(const std::string& name) const { return (dir / name).string(); }

    /// A 3000 x 2200 m tile in UTM 32N at 10 m, rising 0.08 m a metre eastwards.
    std::string slope() {
        const std::string path = file("slope.tif");
        writeDem(path, dem([](double x, double) { return 0.08 * (x - kX0); }));
        return path;
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
    struct Case {
        int grid;
        std::optional<GridSize> boards;
        std::optional<double> spacing;
        int width, height, boardsWide, boardsHigh;
    } cases[] = {
        {5, {}, {}, 576, 432, 4, 3},        // 3000 x 2200 m holds 4 x 3 boards of 720 m
        {10, {}, {}, 289, 217, 4, 3},       // 72 a board plus the closing row: 2170 m still fits in 2200
        {5, GridSize{2, 1}, {}, 288, 144, 2, 1},
        {10, GridSize{1, 2}, {}, 73, 145, 1, 2},
        {5, {}, 2.5, 1152, 864, 8, 6},      // a finer spacing holds more of the same boards
    };
    for (const Case& c : cases) {
        const ImportResult r = importElevation(options({slopeDem}, [&](ImportOptions& o) {
            o.crs = "EPSG:32632", o.grid = BoardGrid(c.grid), o.spacing = c.spacing, o.boards = c.boards;
        }));
        EXPECT_EQ(r.map.width(), c.width) << "grid " << c.grid;
        EXPECT_EQ(r.map.height(), c.height) << "grid " << c.grid;
        EXPECT_EQ(r.map.pixelCount(), std::int64_t(c.width) * c.height);
        EXPECT_EQ(r.report.boardsWide, c.boardsWide);
        EXPECT_EQ(r.report.boardsHigh, c.boardsHigh);
        EXPECT_EQ(r.contour.width(), c.width);
        EXPECT_EQ(r.contour.height(), c.height);
    }
}

TEST_F(ElevationImport, MapsKnownHeightsToTheNearestLevel) {
    // 576 pixels centred on the 3000 m tile: pixel x lies at 62.5 + 5 x metres, 5 + 0.4 x metres high.
    ImportOptions o = options({slope()}, [](ImportOptions& o) { o.crs = "EPSG:32632", o.lowHeight = 0, o.highHeight = 255; });
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
    const ImportResult r = importElevation(options({path}, [](ImportOptions& o) {
        o.area = GeoBox{9.005, 46.005, 9.045, 46.055}, o.ground = 1000;
    }));
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
    // A 5 m grid in the map's own system, so every pixel lands on a sample: flat at
    // 100 m with a hill at the far corner, and holes in the flat and at an edge.
    const std::string path = file("holes.tif");
    auto inHole = [](int px, int py) { return (px >= 50 && px < 60 && py >= 40 && py < 52) || (px < 3 && py < 7); };
    writeDem(path, dem(
                       [&](double x, double y) {
                           const int px = int((x - kX0) / 5), py = int((kY0 - y) / 5);
                           if (inHole(px, py)) return -32768.0;
                           return px > 250 && py > 250 ? 355.0 : 100.0;
                       },
                       [](Dem& d) { d.pixelX = 5, d.pixelY = -5, d.width = 288, d.height = 288, d.noData = -32768; }));
    const ImportResult r = importElevation(options({path}, [](ImportOptions& o) { o.crs = "EPSG:32632"; }));
    ASSERT_EQ(r.map.width(), 288);
    EXPECT_EQ(r.report.voidsFilled, 10 * 12 + 3 * 7);
    EXPECT_DOUBLE_EQ(r.report.dataLow, 100);
    for (auto [px, py] : {std::pair{55, 45}, {50, 40}, {59, 51}, {0, 0}, {2, 6}})
        EXPECT_EQ(at(r.map, px, py), 0) << px << "," << py;
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
    const ImportResult r = importElevation(options({file("N46E009.hgt"), file("N46E010.hgt")}, [](ImportOptions& o) {
        o.area = GeoBox{9.99, 46.5, 10.01, 46.51}, o.boards = GridSize{1, 1}, o.lowHeight = 0, o.highHeight = 720;
    }));
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
    auto utm = [](std::function<void(ImportOptions&)> more) {
        return [more](ImportOptions& o) { o.crs = "EPSG:32632", more(o); };
    };
    struct Case {
        ImportOptions options;
        std::string message;
    } cases[] = {
        {options({text}), text + ": not a readable elevation file"},
        {options({file("missing.tif")}), file("missing.tif") + ": No such file or directory"},
        {options({fifo}), fifo + ": not a regular file (it is a FIFO)"},  // would hold the open forever
        {options({s}, [](ImportOptions& o) { o.area = GeoBox{20, 10, 21, 11}; }),
         "the area 20.000000,10.000000,21.000000,11.000000 lies outside every input"},
        {options({s}, utm([](ImportOptions& o) { o.boards = GridSize{120, 120}; })), "the map would be 17280 x 17280 pixels"},
        {options({s}, utm([](ImportOptions& o) { o.boards = GridSize{40000, 1}; })),
         "the map would be larger than the largest picture"},
        {options({s}, utm([](ImportOptions& o) { o.spacing = 50; })), "the area is 3000 x 2200 m, too small for one whole base board"},
        {options({feet}), feet + ": heights are in feet, not metres"},
        {options({degrees}), degrees + ": heights are in degrees, not metres"},
        {options({s}, [](ImportOptions& o) { o.crs = "EPSG:4326"; }), "--crs EPSG:4326: not a projected coordinate system"},
    };
    for (const Case& c : cases) {
        try {
            importElevation(c.options);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const ImportError& e) {
            const std::string what = e.what();
            EXPECT_EQ(what.rfind(c.message, 0), 0u) << what;
            EXPECT_EQ(what.find('\n'), std::string::npos) << what;
        }
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
    const struct {
        std::string input, message;
    } cases[] = {
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
        const std::string why = refusal(options({c.input}, [](ImportOptions& o) { o.area = GeoBox{9.01, 46.01, 9.03, 46.03}; }));
        EXPECT_EQ(why.rfind(c.message, 0), 0u) << why;
    }
    // Overviews and a mask beside a GeoTIFF are datasets of their own that could name
    // anything: the file's own samples are read, nothing beside it.
    std::ofstream(own + ".ovr") << vrtText("/vsicurl/" + url + "/overview.tif");
    std::ofstream(own + ".msk") << vrtText("/vsicurl/" + url + "/mask.tif");
    const auto coarse = options({own}, [](ImportOptions& o) {
        o.crs = "EPSG:32632", o.pixels = GridSize{100, 80}, o.spacing = 25;
    });
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
    const ImportResult r = importElevation(options({path}, [](ImportOptions& o) { o.boards = GridSize{1, 1}; }));
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
    const std::string why = refusal(options({huge}, [](ImportOptions& o) {
        o.crs = "EPSG:32632", o.pixels = GridSize{2000, 2000}, o.spacing = 20;
    }));
    EXPECT_EQ(why, huge + ": the map's area covers 160000 x 160000 of its 1000000 x 1000000 samples (25600000000 from "
                          "the inputs in all), more than the 1073741824 an import reads; choose a smaller area or a "
                          "coarser spacing, or add overviews to the file");
    // The budget is for all the inputs together: twice 25,000 x 25,000 is too much.
    const std::string twice = refusal(options({huge, huge}, [](ImportOptions& o) {
        o.crs = "EPSG:32632", o.pixels = GridSize{1250, 1250}, o.spacing = 5;
    }));
    EXPECT_EQ(twice.rfind(huge + ": the map's area covers 25000 x 25000 of its 1000000 x 1000000 samples "
                                 "(1250000000 from the inputs in all)", 0), 0u) << twice;
    // A block is read whole, so one of 16384 x 16384 samples is too large even for a small map.
    const std::string blocks = file("blocks.tif");
    test::writeSparseDem(blocks, dem({}, [](Dem& d) {
        d.width = d.height = 20000, d.pixelX = 1, d.pixelY = -1, d.options = {"BLOCKXSIZE=16384", "BLOCKYSIZE=16384"};
    }));
    EXPECT_EQ(refusal(options({blocks}, [](ImportOptions& o) { o.crs = "EPSG:32632", o.pixels = GridSize{40, 40}; })),
              blocks + ": its blocks of 16384 x 16384 samples are too large to read");
    // A small part of it is read as usual: samples never written read as 0 m.
    const ImportResult r = importElevation(options({huge}, [](ImportOptions& o) {
        o.crs = "EPSG:32632", o.pixels = GridSize{40, 40}, o.spacing = 5;
    }));
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
    const struct {
        double spacing, height;
    } cases[] = {{1, 100}, {1.9, 100}, {2, 300}, {3.5, 300}, {5, 500}};
    for (const auto& c : cases) {
        const ImportResult r = importElevation(options({path}, [&](ImportOptions& o) {
            o.crs = "EPSG:32632", o.pixels = GridSize{100, 100}, o.spacing = c.spacing;
        }));
        EXPECT_DOUBLE_EQ(r.report.dataLow, c.height) << "spacing " << c.spacing;
    }
}

TEST_F(ElevationImport, TakesNanAndInfinityForVoids) {
    // A 5 m grid in the map's own system, so every pixel lands on a sample, without a
    // void value of its own: NaN in a 10 x 12 hole, infinities in two samples.
    const std::string path = file("nan.tif");
    auto sample = [](double x, double y) { return std::pair{int((x - kX0) / 5), int((kY0 - y) / 5)}; };
    writeDem(path, dem([&](double x, double y) {
        const auto [px, py] = sample(x, y);
        if (px >= 50 && px < 60 && py >= 40 && py < 52) return std::nan("");
        if (px == 100 && py == 100) return HUGE_VAL;
        if (px == 200 && py == 30) return -HUGE_VAL;
        return px > 250 && py > 250 ? 355.0 : 100.0;
    }, [](Dem& d) { d.pixelX = 5, d.pixelY = -5, d.width = 288, d.height = 288; }));
    const ImportResult r = importElevation(options({path}, [](ImportOptions& o) { o.crs = "EPSG:32632"; }));
    ASSERT_EQ(r.map.width(), 288);
    EXPECT_GE(r.report.voidsFilled, 10 * 12 + 2);
    EXPECT_LE(r.report.voidsFilled, 10 * 12 + 2 * 9);
    EXPECT_DOUBLE_EQ(r.report.dataLow, 100);
    EXPECT_DOUBLE_EQ(r.report.dataHigh, 355);
    EXPECT_NEAR(r.report.metresPerLevel, 1.0, 1e-9);
    for (auto [px, py] : {std::pair{55, 45}, {100, 100}, {200, 30}}) EXPECT_EQ(at(r.map, px, py), 0) << px << "," << py;
    EXPECT_EQ(at(r.map, 280, 280), 255);

}

TEST_F(ElevationImport, RefusesHeightsNoTerrainHasAndSaysWhere) {
    const std::string path = file("stray.tif");
    const std::string s = slope();
    auto stray = [&](double value) {
        writeDem(path, dem([=](double x, double y) {
            return int((x - kX0) / 5) == 100 && int((kY0 - y) / 5) == 60 ? value : 100.0 + 0.01 * (x - kX0);
        }, [](Dem& d) { d.pixelX = 5, d.pixelY = -5, d.width = 288, d.height = 288; }));
    };
    const std::string place = " m at map pixel 100,60 (longitude 9.006495, latitude 46.050852), sample 100,60 of " + path +
                              " is not terrain (heights lie between -500 and 9000 m); give the heights for levels 0 "
                              "and 255 (--heights LOW:HIGH) to map it anyway";
    auto utm = [](ImportOptions& o) { o.crs = "EPSG:32632"; };
    stray(1e30);
    EXPECT_EQ(refusal(options({path}, utm)), "a height of 1e+30" + place);
    stray(9500);
    EXPECT_EQ(refusal(options({path}, utm)), "a height of 9500" + place);
    stray(-600);
    EXPECT_EQ(refusal(options({path}, utm)), "a height of -600" + place);
    // Inside the range, or with the heights given, the map is made.
    stray(-450);
    EXPECT_EQ(refusal(options({path}, utm)), "");
    stray(1e30);
    const ImportResult r = importElevation(options({path}, [](ImportOptions& o) {
        o.crs = "EPSG:32632", o.lowHeight = 100, o.highHeight = 355;
    }));
    EXPECT_EQ(at(r.map, 100, 60), 255);
    EXPECT_EQ(at(r.map, 0, 0), 0);
}

TEST_F(ElevationImport, GdalsMessagesBecomeTheOneLine) {
    // A tiled GeoTIFF cut off after its header: the warp's readers meet the end.
    const std::string path = file("cut.tif");
    writeDem(path, dem([](double x, double y) { return x - kX0 + y - kY0; }, [](Dem& d) {
        d.options = {"TILED=YES", "BLOCKXSIZE=64", "BLOCKYSIZE=64"};
    }));
    fs::resize_file(path, fs::file_size(path) / 3);
    ::testing::internal::CaptureStderr();
    const std::string why = refusal(options({path}, [](ImportOptions& o) { o.crs = "EPSG:32632"; }));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(why.rfind(path + ": cannot be read onto the map (", 0), 0u) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    EXPECT_EQ(err, "");
}

TEST_F(ElevationImport, BoardsPastTheDataAreRefusedUnlessAsked) {
    // 3000 x 2200 m of data holds 4 x 3 boards; 5 x 5 boards (3600 m) reach past it.
    const std::string path = slope();
    auto with = [&](OutsidePolicy outside) {
        return options({path}, [&](ImportOptions& o) { o.crs = "EPSG:32632", o.boards = GridSize{5, 5}, o.outside = outside; });
    };
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
    EXPECT_EQ(at(ground.invented, 0, 0), 255);
    EXPECT_EQ(at(ground.invented, 59, 360), 255);
    EXPECT_EQ(at(ground.invented, 60, 360), 0);
    EXPECT_EQ(at(ground.invented, 360, 140), 0);
    EXPECT_EQ(at(ground.invented, 360, 139), 255);
    // Extended, the eastern edge's height carries on eastwards.
    const ImportResult extended = importElevation(with(OutsidePolicy::Extend));
    EXPECT_GE(at(extended.map, 719, 360), 250);
    EXPECT_LE(at(extended.map, 0, 360), 5);
    EXPECT_EQ(extended.report.outsidePixels, 720 * 720 - 600 * 440);
}

TEST_F(ElevationImport, AHoleInAPlaneIsFilledWithinThePlane) {
    // A 5 m grid in the map's own system: a plane rising 1 m a pixel eastwards,
    // 100 to 387 m, with a hole of 30 x 20 samples.
    const std::string path = file("plane.tif");
    writeDem(path, dem(
                       [&](double x, double y) {
                           const int px = int((x - kX0) / 5), py = int((kY0 - y) / 5);
                           if (px >= 100 && px < 130 && py >= 50 && py < 70) return -32768.0;
                           return 100.0 + px;
                       },
                       [](Dem& d) { d.pixelX = 5, d.pixelY = -5, d.width = 288, d.height = 288, d.noData = -32768; }));
    ImportOptions o = options({path}, [](ImportOptions& o) { o.crs = "EPSG:32632", o.lowHeight = 100, o.highHeight = 355; });
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
    ImportOptions o = options({path}, [](ImportOptions& o) {
        o.area = GeoBox{8.7, 46.3, 9.3, 46.7}, o.spacing = 100, o.lowHeight = 0, o.highHeight = 2000;
    });
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
    struct Case {
        const char* slope;
        int dx, dy;
        int shade;
    } cases[] = {
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
