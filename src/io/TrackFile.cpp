#include "io/TrackFile.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_spatialref.h>
#include <ogr_srs_api.h>

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "io/SafeWrite.h"

namespace morv {

namespace {

/// The drivers a track is read by: plain files that name no servers or other files.
constexpr const char* kTrackDrivers[] = {"GPX", "GeoJSON", "KML", nullptr};

void setUpOgr() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        CPLSetConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", "EMPTY_DIR");
        OSRSetPROJEnableNetwork(FALSE);
    });
}

/// GDAL's first failure while a track is read on this thread; nothing is printed.
class QuietMessages {
public:
    QuietMessages() { CPLPushErrorHandlerEx(collect, this); }
    ~QuietMessages() { CPLPopErrorHandler(); }
    QuietMessages(const QuietMessages&) = delete;
    QuietMessages& operator=(const QuietMessages&) = delete;
    std::string first;

private:
    static void CPL_STDCALL collect(CPLErr level, CPLErrorNum, const char* message) {
        auto* self = static_cast<QuietMessages*>(CPLGetErrorHandlerUserData());
        if (level >= CE_Failure && self && self->first.empty() && message) self->first = message;
    }
};

/// The path as GDAL gets it, absolute; refuses GDAL's virtual files, addresses and
/// anything but a regular file.
std::string localTrackFile(const std::string& path) {
    auto refuse = [&](const std::string& why) { return GradeError(path + ": " + why); };
    if (path.rfind("/vsi", 0) == 0) throw refuse("names one of GDAL's virtual file systems, not a file on this machine");
    if (path.find("://") != std::string::npos) throw refuse("is an address, not a file on this machine");
    std::error_code ec;
    const std::string file = std::filesystem::absolute(path, ec).lexically_normal().string();
    if (ec || file.rfind("/vsi", 0) == 0)
        throw refuse("names one of GDAL's virtual file systems, not a file on this machine");
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) throw refuse(std::string("cannot be read (") + std::strerror(errno) + ")");
    if (!S_ISREG(st.st_mode)) throw refuse(notRegularFileReason(st.st_mode));
    return file;
}

struct DatasetCloser {
    void operator()(GDALDatasetH ds) const { GDALClose(ds); }
};
struct FeatureDeleter {
    void operator()(OGRFeatureH f) const { OGR_F_Destroy(f); }
};

/// The points of a line or of a multi-line's parts one after another (x, y).
void appendLine(OGRGeometryH g, std::vector<std::pair<double, double>>& out) {
    const OGRwkbGeometryType type = wkbFlatten(OGR_G_GetGeometryType(g));
    if (type == wkbLineString) {
        for (int i = 0; i < OGR_G_GetPointCount(g); ++i) {
            const std::pair<double, double> p{OGR_G_GetX(g, i), OGR_G_GetY(g, i)};
            if (out.empty() || out.back() != p) out.push_back(p);
        }
    } else if (type == wkbMultiLineString || type == wkbGeometryCollection) {
        for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i) appendLine(OGR_G_GetGeometryRef(g, i), out);
    }
}

/// The first line of a layer, in the layer's coordinates; empty when it has none.
std::vector<std::pair<double, double>> firstLine(OGRLayerH layer) {
    OGR_L_ResetReading(layer);
    std::vector<std::pair<double, double>> line;
    while (const std::unique_ptr<std::remove_pointer_t<OGRFeatureH>, FeatureDeleter> f{OGR_L_GetNextFeature(layer)}) {
        if (OGRGeometryH g = OGR_F_GetGeometryRef(f.get())) appendLine(g, line);
        if (!line.empty()) return line;
    }
    return line;
}

}  // namespace

struct GeoFrame::Parts {
    OGRSpatialReference map, wgs84;
    std::unique_ptr<OGRCoordinateTransformation> toMap, toLonLat;
    std::array<double, 6> gt{}, inverse{};
};

GeoFrame::GeoFrame(const MapScale& scale) : m_parts(std::make_unique<Parts>()) {
    if (!scale.isGeoreferenced())
        throw GradeError("the map has no coordinate system, so a track in longitudes and latitudes cannot be placed on it");
    setUpOgr();
    QuietMessages quiet;
    Parts& p = *m_parts;
    p.wgs84.importFromEPSG(4326);
    p.wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    if (p.map.importFromWkt(scale.crsWkt.c_str()) != OGRERR_NONE)
        throw GradeError("the map's coordinate system cannot be read");
    p.map.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    p.toMap.reset(OGRCreateCoordinateTransformation(&p.wgs84, &p.map));
    p.toLonLat.reset(OGRCreateCoordinateTransformation(&p.map, &p.wgs84));
    p.gt = scale.geoTransform;
    if (!p.toMap || !p.toLonLat || !GDALInvGeoTransform(p.gt.data(), p.inverse.data()))
        throw GradeError("the map's coordinates cannot be turned into longitudes and latitudes");
}

GeoFrame::~GeoFrame() = default;

TrackPoint GeoFrame::pixelOf(double longitude, double latitude) const {
    double x = longitude, y = latitude;
    if (!m_parts->toMap->Transform(1, &x, &y))
        throw GradeError("the place " + std::to_string(longitude) + ", " + std::to_string(latitude) +
                         " cannot be placed in the map's coordinate system");
    const auto& i = m_parts->inverse;
    // The grid's corners sit at whole columns and rows; a pixel's centre half a pixel in.
    return {i[0] + x * i[1] + y * i[2] - 0.5, i[3] + x * i[4] + y * i[5] - 0.5};
}

std::pair<double, double> GeoFrame::lonLatOf(TrackPoint at) const {
    const auto& g = m_parts->gt;
    const double col = at.x + 0.5, row = at.y + 0.5;
    double x = g[0] + col * g[1] + row * g[2], y = g[3] + col * g[4] + row * g[5];
    m_parts->toLonLat->Transform(1, &x, &y);
    return {x, y};
}

std::vector<TrackPoint> readTrackFile(const std::string& path, const MapScale& scale) {
    const std::string file = localTrackFile(path);
    const GeoFrame frame(scale);
    setUpOgr();
    QuietMessages quiet;
    const std::unique_ptr<std::remove_pointer_t<GDALDatasetH>, DatasetCloser> ds(
        GDALOpenEx(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, kTrackDrivers, nullptr, nullptr));
    if (!ds) throw GradeError(path + ": not a GPX, GeoJSON or KML file");
    const std::string driver = GDALGetDriverShortName(GDALGetDatasetDriver(ds.get()));
    std::vector<std::pair<double, double>> line;
    OGRSpatialReferenceH srs = nullptr;
    auto tryLayer = [&](OGRLayerH layer) {
        if (!layer || !line.empty()) return;
        line = firstLine(layer);
        if (!line.empty()) srs = OGR_L_GetSpatialRef(layer);
    };
    if (driver == "GPX") {
        // Only a track or a route is a line: waypoints and the tracks' points are not.
        tryLayer(GDALDatasetGetLayerByName(ds.get(), "tracks"));
        tryLayer(GDALDatasetGetLayerByName(ds.get(), "routes"));
        if (line.empty()) throw GradeError(path + ": holds no track or route");
    } else {
        for (int i = 0; i < GDALDatasetGetLayerCount(ds.get()) && line.empty(); ++i)
            tryLayer(GDALDatasetGetLayer(ds.get(), i));
        if (line.empty()) throw GradeError(path + ": holds no line");
    }
    // A file without a coordinate system of its own is in longitudes and latitudes.
    std::unique_ptr<OGRCoordinateTransformation> toLonLat;
    if (srs) {
        OGRSpatialReference own(*OGRSpatialReference::FromHandle(srs));
        own.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        OGRSpatialReference wgs84;
        wgs84.importFromEPSG(4326);
        wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        if (!own.IsSame(&wgs84)) toLonLat.reset(OGRCreateCoordinateTransformation(&own, &wgs84));
    }
    std::vector<TrackPoint> points;
    for (auto [x, y] : line) {
        if (toLonLat && !toLonLat->Transform(1, &x, &y))
            throw GradeError(path + ": its coordinates cannot be turned into longitudes and latitudes");
        points.push_back(frame.pixelOf(x, y));
    }
    return points;
}

}  // namespace morv
