#include "io/TrackFile.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numbers>

#include "support/TestSupport.h"

namespace morv {
namespace {

constexpr double kEarth = 6378137;  // the spherical Mercator's radius

/// A map in the spherical Mercator grid, 10 m a pixel, its corner at (1000 km, 6000 km).
MapScale mercatorMap() {
    MapScale s;
    s.pixelMetres = 10, s.levelMetres = 1, s.geoTransform = {1000000, 10, 0, 6000000, 0, -10};
    OGRSpatialReference srs;
    srs.importFromEPSG(3857);
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    s.crsWkt = wkt;
    CPLFree(wkt);
    return s;
}

/// The longitude and latitude of pixel (x, y)'s centre, by the projection's own formulas.
std::pair<double, double> lonLat(double x, double y) {
    const double e = 1000000 + (x + 0.5) * 10, n = 6000000 - (y + 0.5) * 10;
    const double deg = 180 / std::numbers::pi;
    return {e / kEarth * deg, (2 * std::atan(std::exp(n / kEarth)) - std::numbers::pi / 2) * deg};
}

std::string coords(double x, double y, const char* pattern) {
    const auto [lon, lat] = lonLat(x, y);
    char text[160];
    std::snprintf(text, sizeof text, pattern, lon, lat);
    return text;
}

void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const GradeError& e) {
        return e.what();
    }
    return "(no error)";
}

struct TrackFiles : ::testing::Test {
    test::TempDir dir;
    const MapScale scale = mercatorMap();
    void expectPlaces(const std::vector<TrackPoint>& got) {
        ASSERT_EQ(got.size(), 3u);
        const TrackPoint want[] = {{20, 30}, {150, 30}, {180, 90}};
        for (int i = 0; i < 3; ++i) {
            // Far inside a pixel: half a pixel off would fail.
            EXPECT_NEAR(got[std::size_t(i)].x, want[i].x, 0.02) << i;
            EXPECT_NEAR(got[std::size_t(i)].y, want[i].y, 0.02) << i;
        }
    }
};

TEST_F(TrackFiles, GpxGeoJsonAndKmlLinesLandOnTheirPixels) {
    std::string gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                      "<wpt lat=\"1\" lon=\"1\"/><trk><name>line</name><trkseg>\n";
    std::string json = "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"properties\":{},"
                       "\"geometry\":{\"type\":\"LineString\",\"coordinates\":[";
    std::string kml = "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><Placemark>"
                      "<LineString><coordinates>";
    for (auto [x, y] : {std::pair{20, 30}, {150, 30}, {180, 90}}) {
        gpx += coords(x, y, "<trkpt lon=\"%.9f\" lat=\"%.9f\"/>\n");
        json += coords(x, y, "[%.9f,%.9f],");
        kml += coords(x, y, "%.9f,%.9f,0 ");
    }
    json.pop_back();
    write(dir.file("t.gpx"), gpx + "</trkseg></trk></gpx>\n");
    write(dir.file("t.geojson"), json + "]}}]}");
    write(dir.file("t.kml"), kml + "</coordinates></LineString></Placemark></Document></kml>");
    for (const char* name : {"t.gpx", "t.geojson", "t.kml"}) {
        SCOPED_TRACE(name);
        expectPlaces(readTrackFile(dir.file(name), scale));
    }
    // The other way: a pixel's longitude and latitude.
    const auto [lon, lat] = GeoFrame(scale).lonLatOf({150, 30});
    EXPECT_NEAR(lon, lonLat(150, 30).first, 1e-9);
    EXPECT_NEAR(lat, lonLat(150, 30).second, 1e-9);
}

TEST_F(TrackFiles, FilesWithoutALineAndOddTargetsRefused) {
    write(dir.file("w.gpx"), "<?xml version=\"1.0\"?><gpx version=\"1.1\" creator=\"t\" "
                             "xmlns=\"http://www.topografix.com/GPX/1/1\"><wpt lat=\"1\" lon=\"1\"/></gpx>");
    write(dir.file("p.geojson"), "{\"type\":\"Point\",\"coordinates\":[1,2]}");
    write(dir.file("n.txt"), "just words\n");
    ASSERT_EQ(::mkfifo(dir.file("f.gpx").c_str(), 0600), 0);
    const std::pair<std::string, const char*> cases[] = {
        {dir.file("w.gpx"), ": holds no track or route"}, {dir.file("p.geojson"), ": holds no line"},
        {dir.file("n.txt"), ": not a GPX, GeoJSON or KML file"}, {dir.file("f.gpx"), ": not a regular file (it is a FIFO)"},
        {"/vsicurl/http://127.0.0.1/t.gpx", ": names one of GDAL's virtual file systems, not a file on this machine"}};
    for (const auto& [path, why] : cases) EXPECT_EQ(errorOf([&] { readTrackFile(path, scale); }), path + why);
    MapScale plain = scale;
    plain.crsWkt.clear();
    EXPECT_EQ(errorOf([&] { readTrackFile(dir.file("w.gpx"), plain); }),
              "the map has no coordinate system, so a track in longitudes and latitudes cannot be placed on it");
}

}  // namespace
}  // namespace morv
