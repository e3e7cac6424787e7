#include "io/GradeFiles.h"
#include "io/ProfilePicture.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <sstream>

#include "io/TrackFile.h"

// Options are written with designated initializers, the fields left out at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace morv {
namespace {

struct GradeFiles : ::testing::Test {
    HeightImage map{257, 40};
    TrackProfile profile;
    GradeFiles() {
        // A valley a level deeper each pixel to its floor at x = 128, crossed between
        // rims held at 200 m, 10 m a pixel, 1 m a level above 300 m.
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 257; ++x) map.setPixel(x, y, fcnGrayColor(100 + std::abs(x - 128)));
        profile = solveProfile(map, {.pixelMetres = 10, .levelMetres = 1, .baseMetres = 300}, {{28, 20}, {228, 20}},
                               {.fixes = {{0, 500}, {2000, 500}}, .curveMetres = 0});
    }
};

std::vector<std::vector<std::string>> cells(const std::string& csv) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);) {
        rows.emplace_back();
        std::istringstream fields(line);
        for (std::string f; std::getline(fields, f, ',');) rows.back().push_back(f);
    }
    return rows;
}

TEST_F(GradeFiles, TableHeightsFollowTheProfile) {
    const auto rows = cells(splineTableCsv(profile, 150, nullptr));
    ASSERT_EQ(rows.size(), 1u + 14 + 1) << "every 150 m from 0 to 1950 m, and the end";
    EXPECT_EQ(rows[0], (std::vector<std::string>{"distance_m", "x", "y", "height_m"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"0.0", "28.00", "20.00", "500.00"}));
    // 2.5 % down from the rim for 1000 m, then up again.
    EXPECT_EQ(rows[4], (std::vector<std::string>{"450.0", "73.00", "20.00", "488.75"}));
    EXPECT_EQ(rows[8][3], "476.25");
    EXPECT_EQ(rows[14][0], "1950.0");
    EXPECT_EQ(rows[14][3], "498.75");
    EXPECT_EQ(rows[15], (std::vector<std::string>{"2000.0", "228.00", "20.00", "500.00"}));
}

TEST_F(GradeFiles, TableGivesLongitudeAndLatitudeWhenKnown) {
    OGRSpatialReference srs;
    srs.importFromEPSG(3857);
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    MapScale geo = profile.scale;
    geo.crsWkt = wkt;
    CPLFree(wkt);
    geo.geoTransform = {0, 10, 0, 0, 0, -10};
    const auto rows = cells(splineTableCsv(profile, 1000, std::make_unique<GeoFrame>(geo).get()));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][3], "longitude");
    // Pixel (128, 20)'s centre is 1285 m east of the origin: 1285 / 6378137 radians.
    EXPECT_EQ(rows[2][3], "0.0115434");
    EXPECT_EQ(rows[2][5], "475.00");
}

TEST_F(GradeFiles, ReportCarriesVolumesGradesAndSteps) {
    const CorridorOptions corridor{20, 0};
    const CorridorResult result = applyCorridor(map.grey(), map.width(), map.height(), profile, corridor);
    const std::vector<LevelStep> steps = levelSteps(profile);
    const GradeSummary summary{profile, result, steps, corridor};
    const QJsonObject r = QJsonDocument::fromJson(QByteArray::fromStdString(gradeReportJson(summary))).object();
    EXPECT_DOUBLE_EQ(r["length"].toDouble(), 2000);
    EXPECT_NEAR(r["steepestGradePercent"].toDouble(), 2.5, 1e-9);
    EXPECT_NEAR(r["highestBank"].toDouble(), 75, 1e-9);
    // Two triangles 1000 m long and 75 m high at the middle, over 30 m (three rows).
    const double fill = 2 * 0.5 * 1000 * 75 * 30;
    EXPECT_NEAR(r["fillCubicMetres"].toDouble(), fill, fill * 0.01);
    EXPECT_EQ(r["cutCubicMetres"].toDouble(), 0);
    // The formation falls 25 levels and climbs 25 again: 50 steps, the first at the
    // half level 199.5, 20 m along.
    const QJsonArray s = r["levelSteps"].toArray();
    ASSERT_EQ(s.size(), 50);
    EXPECT_NEAR(s[0].toObject()["distance"].toDouble(), 20, 1e-9);
    EXPECT_EQ(s[0].toObject()["from"].toInt(), 200);
    EXPECT_EQ(s[0].toObject()["to"].toInt(), 199);
    EXPECT_LE(r["storedDepartureLevels"].toDouble(), 0.5);
    const std::string text = gradeReportText(summary);
    EXPECT_NE(text.find("50 level steps along the track\n  step 200 -> 199 at 20.0 m (30.0, 20.0)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  and 38 more\n"), std::string::npos);
}

TEST_F(GradeFiles, PictureShowsTheBankAboveTheValley) {
    const QImage picture = profilePicture(profile, 600, 300);
    ASSERT_EQ(picture.size(), QSize(600, 300));
    const QRgb ground = qRgb(214, 190, 140);
    auto formation = [](QRgb c) { return qBlue(c) > 140 && qRed(c) < 120; };
    // The rows of the formation's line and of the terrain's top in a column.
    auto gap = [&](int x) {
        int line = -1, earth = -1;
        for (int y = 0; y < 300; ++y) {
            if (line < 0 && formation(picture.pixel(x, y))) line = y;
            if (earth < 0 && picture.pixel(x, y) == ground) earth = y;
        }
        EXPECT_GE(line, 0) << x;
        EXPECT_GT(earth, line) << x;
        return earth - line;
    };
    // The bank is 75 m at the middle and 37.5 m a quarter across.
    const int middle = gap(300), quarter = gap(10 + 580 / 4);
    EXPECT_NEAR(double(middle) / quarter, 2.0, 0.15);
    // Heights 400 m to 500 m with 8 % more above and below span the 280 rows
    // inside the frame: 75 m is 181 rows.
    EXPECT_NEAR(middle, 75.0 / 116 * 280, 3);
}

}  // namespace
}  // namespace morv
