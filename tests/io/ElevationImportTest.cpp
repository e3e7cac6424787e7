#include <gtest/gtest.h>

#include <ogr_spatialref.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "analysis/Contours.h"
#include "io/ElevationImport.h"
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
              ("morv-dem-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
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

int at(const GreyPlane& p, int x, int y) { return p.bytes[std::size_t(y) * std::size_t(p.width) + std::size_t(x)]; }

TEST_F(ElevationImport, CutsAsManyWholeBoardsAsTheAreaHoldsOrTheBoardsAsked) {
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
            o.crs = "EPSG:32632", o.grid = c.grid, o.spacing = c.spacing, o.boards = c.boards;
        }));
        EXPECT_EQ(r.map.width, c.width) << "grid " << c.grid;
        EXPECT_EQ(r.map.height, c.height) << "grid " << c.grid;
        EXPECT_EQ(r.map.bytes.size(), std::size_t(c.width) * std::size_t(c.height));
        EXPECT_EQ(r.report.boardsWide, c.boardsWide);
        EXPECT_EQ(r.report.boardsHigh, c.boardsHigh);
        EXPECT_EQ(r.contour.width, c.width);
        EXPECT_EQ(r.contour.height, c.height);
    }
}

TEST_F(ElevationImport, MapsKnownHeightsToTheNearestLevel) {
    // 576 pixels centred on the 3000 m tile: pixel x lies at 62.5 + 5 x metres, 5 + 0.4 x metres high.
    ImportOptions o = options({slope()}, [](ImportOptions& o) { o.crs = "EPSG:32632", o.lowHeight = 0, o.highHeight = 255; });
    ImportResult r = importElevation(o);
    ASSERT_EQ(r.map.width, 576);
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
    writeDem(path, dem([&](double lon, double lat) { return 1500 - std::hypot((lon - tipLon) * 77000, (lat - tipLat) * 111000); },
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
    for (int py = 0; py < r.map.height; ++py)
        for (int px = 0; px < r.map.width; ++px)
            if (at(r.map, px, py) == 255) sx += px, sy += py, ++n;
    ASSERT_GT(n, 0);
    EXPECT_NEAR(sx / n, col, 1.0);
    EXPECT_NEAR(sy / n, row, 1.0);

    // The contour image is the program's own rule drawn black on white, a ring 500 m round the tip.
    HeightImage height(r.map.width, r.map.height), contour(r.map.width, r.map.height, 255);
    std::copy(r.map.bytes.begin(), r.map.bytes.end(), height.grey());
    markContours(height, fcnGrayColor(r.report.groundLevel), contour, nullptr);
    EXPECT_TRUE(std::equal(r.contour.bytes.begin(), r.contour.bytes.end(), contour.grey()));
    EXPECT_NE(std::count(r.contour.bytes.begin(), r.contour.bytes.end(), 0), 0);
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
    ASSERT_EQ(r.map.width, 288);
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
    EXPECT_EQ(r.map.width, 144);
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
        {options({file("missing.tif")}), file("missing.tif") + ": not a readable elevation file"},
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
        GreyPlane map{9, 9, std::vector<std::uint8_t>(81)};
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) map.bytes[std::size_t(y * 9 + x)] = std::uint8_t(100 + c.dx * x + c.dy * y);
        EXPECT_NEAR(shadedRelief(map, 1.0, 1.0).bytes[4 * 9 + 4], c.shade, 1) << c.slope;
    }
}

TEST(ElevationReport, JsonKeepsTheFigures) {
    ImportReport r;
    r.width = 576, r.height = 288, r.boardsWide = 4, r.boardsHigh = 2, r.metresPerLevel = 1.5;
    r.lowHeight = -12.25, r.highHeight = 370.25, r.voidsFilled = 17, r.crs = "EPSG:32632 \"x\"";
    r.area = {9.5, 46, 9.75, 46.25};
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(reportJson(r))).object();
    EXPECT_EQ(o["width"].toInt(), 576);
    EXPECT_EQ(o["boardsHigh"].toInt(), 2);
    EXPECT_DOUBLE_EQ(o["metresPerLevel"].toDouble(), 1.5);
    EXPECT_DOUBLE_EQ(o["lowHeight"].toDouble(), -12.25);
    EXPECT_EQ(o["voidsFilled"].toInt(), 17);
    EXPECT_EQ(o["crs"].toString().toStdString(), "EPSG:32632 \"x\"");
    EXPECT_DOUBLE_EQ(o["area"].toObject()["north"].toDouble(), 46.25);
}

}  // namespace
}  // namespace morv
