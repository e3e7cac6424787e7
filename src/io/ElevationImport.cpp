// Reading elevation data onto a map's grid: the one part of the program that
// goes through GDAL, and only its reading and warping; filling voids, levels and
// contours are pixel work done elsewhere.
//
// Elevation files come from strangers, and GDAL will follow a great deal if let:
// descriptions naming other files, servers, archives, and formats with long
// parsers. So the import trusts little:
// - only named files on this machine: no addresses, no GDAL virtual paths, no
//   FIFOs or devices (each path is made absolute and stat'ed first);
// - each opened by a short list of drivers (GeoTIFF, SRTM, ESRI ASCII grid, USGS
//   DEM), never one that names other files, and no directory listing, auxiliary
//   XML or network grids;
// - a sample budget worked out from the headers before anything is read, so a
//   small file claiming a huge raster is refused instead of read for minutes;
// - GDAL's messages kept for the one-line error, never printed.
// Each input is warped on its own onto the map's grid in memory, each over what
// the ones before it left, so a mosaic needs no virtual description joining them.
#include "io/ElevationImport.h"

#include <gdal.h>
#include <gdal_alg.h>
#include <gdal_utils.h>
#include <ogr_srs_api.h>
#include <ogr_spatialref.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "engine/BoardFit.h"
#include "io/PictureLimits.h"
#include "io/SafeWrite.h"

namespace morv {

std::string formatNumber(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string boxText(const GeoBox& b) {
    return formatNumber(b.west, 6) + "," + formatNumber(b.south, 6) + "," + formatNumber(b.east, 6) + "," +
           formatNumber(b.north, 6);
}

namespace {

/// The most samples one block of an input may hold (a block is read whole).
constexpr std::int64_t kMaxBlockSamples = std::int64_t(1) << 26;
/// The most source samples the warp may read, over all inputs: four times the
/// largest map, a few seconds of reading.
constexpr std::int64_t kMaxSourceSamples = std::int64_t(1) << 30;
/// Heights on Earth's land and sea floor near the coast lie between these (metres);
/// a map outside them was read wrong or holds stray values.
constexpr double kLowestTerrain = -500, kHighestTerrain = 9000;

/// A library message as a clause of one of ours: line breaks become blanks, the
/// closing blanks and full stop go.
std::string asClause(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
    return text;
}

/// The files the import reads: each opened by one of these drivers only, so no
/// description that names other files, servers or services is ever followed.
constexpr const char* kDrivers[] = {"GTiff", "SRTMHGT", "AAIGrid", "USGSDEM", nullptr};
constexpr const char* kFormats = "GeoTIFF, SRTM .hgt, ESRI ASCII grid or USGS DEM";
/// Side-cars an input may bring, all plain text in the input's own folder: the ESRI
/// grid's coordinate system and a TIFF's world file. Overviews, masks and
/// auxiliary XML beside an input are datasets of their own and are not looked at.
constexpr const char* kSideCars[] = {".prj", ".PRJ", ".tfw", ".TFW", ".tifw", ".TIFW", ".wld", ".WLD"};

/// Sets up GDAL once for the import: every driver registered (only to name what a
/// refused file is), no directory listing beside an opened file, no auxiliary XML
/// read or written, no grids fetched by the projection library.
void setUpGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        CPLSetConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", "EMPTY_DIR");
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        OSRSetPROJEnableNetwork(FALSE);
    });
}

/// GDAL's messages while an import runs, from every thread: the warp reads and
/// works on threads of its own, where a handler pushed on ours would not be seen.
/// The first failure is kept for the import's one-line error; nothing reaches
/// standard error.
class GdalMessages {
public:
    // GDAL calls the handler under a lock of its own, so the handler's lock is never
    // held while GDAL's is taken: a second lock orders installing and removing it.
    GdalMessages() {
        setUpGdal();
        const std::lock_guard install(installing());
        bool first = false;
        {
            const std::lock_guard lock(mutex());
            first = listeners().empty();
            listeners().push_back(this);
        }
        if (first) previous() = CPLSetErrorHandler(collect);
    }
    ~GdalMessages() {
        const std::lock_guard install(installing());
        bool last = false;
        {
            const std::lock_guard lock(mutex());
            auto& l = listeners();
            l.erase(std::remove(l.begin(), l.end(), this), l.end());
            last = l.empty();
        }
        if (last) CPLSetErrorHandler(previous());
    }
    GdalMessages(const GdalMessages&) = delete;
    GdalMessages& operator=(const GdalMessages&) = delete;

    /// Forgets the messages so far.
    void clear() {
        const std::lock_guard lock(mutex());
        m_failure.clear();
        m_failed = false;
    }
    /// Whether GDAL reported a failure since the last clear.
    bool failed() const {
        const std::lock_guard lock(mutex());
        return m_failed;
    }
    /// GDAL's first failure since the last clear, on one line, or fallback.
    std::string failure(const std::string& fallback) const {
        const std::lock_guard lock(mutex());
        return asClause(m_failure.empty() ? fallback : m_failure);
    }

private:
    static std::mutex& installing() {
        static std::mutex m;
        return m;
    }
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<GdalMessages*>& listeners() {
        static std::vector<GdalMessages*> l;
        return l;
    }
    static CPLErrorHandler& previous() {
        static CPLErrorHandler h = nullptr;
        return h;
    }
    static void CPL_STDCALL collect(CPLErr level, CPLErrorNum, const char* message) {
        if (level < CE_Failure) return;
        const std::lock_guard lock(mutex());
        for (GdalMessages* m : listeners()) {
            if (!m->m_failed && message) m->m_failure = message;
            m->m_failed = true;
        }
    }
    std::string m_failure;
    bool m_failed = false;
};

struct DatasetCloser {
    void operator()(GDALDatasetH ds) const { GDALClose(ds); }
};
using Dataset = std::unique_ptr<std::remove_pointer_t<GDALDatasetH>, DatasetCloser>;

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

/// Refuses heights in anything but metres, naming the unit found.
void checkHeightUnit(const std::string& path, const std::string& unit) {
    const std::string u = lower(unit);
    if (u.empty() || u == "m" || u == "metre" || u == "meter" || u == "metres" || u == "meters") return;
    if (u.find("ft") != std::string::npos || u.find("foot") != std::string::npos ||
        u.find("feet") != std::string::npos)
        throw ImportError(path + ": heights are in feet, not metres");
    if (u.find("deg") != std::string::npos || u.find("arc") != std::string::npos ||
        u.find("rad") != std::string::npos)
        throw ImportError(path + ": heights are in degrees, not metres");
    throw ImportError(path + ": heights are in '" + unit + "', not metres");
}

OGRSpatialReference wgs84() {
    OGRSpatialReference srs;
    srs.importFromEPSG(4326);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

/// One opened input: its coordinate system, its extent there and in longitudes and latitudes.
struct Source {
    std::string path;  ///< as the user named it, for messages
    Dataset ds;
    OGRSpatialReference srs;
    std::array<double, 4> bounds{};
    GeoBox box;
};

/// Sets the tile's extents.
void setExtent(const std::string& path, GDALDatasetH ds, Source& s) {
    std::array<double, 6> gt{};
    GDALGetGeoTransform(ds, gt.data());
    const double w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
    double xmin = std::numeric_limits<double>::max(), ymin = xmin, xmax = -xmin, ymax = -xmin;
    for (auto [px, py] : {std::pair{0.0, 0.0}, {w, 0.0}, {0.0, h}, {w, h}}) {
        const double x = gt[0] + px * gt[1] + py * gt[2], y = gt[3] + px * gt[4] + py * gt[5];
        xmin = std::min(xmin, x), xmax = std::max(xmax, x), ymin = std::min(ymin, y), ymax = std::max(ymax, y);
    }
    s.bounds = {xmin, ymin, xmax, ymax};
    const OGRSpatialReference geographic = wgs84();
    std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&s.srs, &geographic));
    GeoBox& b = s.box;
    if (!ct || !ct->TransformBounds(xmin, ymin, xmax, ymax, &b.west, &b.south, &b.east, &b.north, 21))
        throw ImportError(path + ": its coordinates cannot be turned into longitudes and latitudes");
}

/// The file path as GDAL gets it: absolute, so that no prefix GDAL gives a meaning
/// of its own ("/vsicurl/", "GTIFF_DIR:", "http://") can start it. Refuses what is
/// not a regular file on this machine.
std::string localFile(const std::string& path) {
    auto refuse = [&](const std::string& why) { return ImportError(path + ": " + why); };
    if (path.rfind("/vsi", 0) == 0)
        throw refuse("names one of GDAL's virtual file systems, not a file on this machine");
    if (path.find("://") != std::string::npos) throw refuse("is an address, not a file on this machine");
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
    const std::string text = absolute.string();
    if (ec || text.rfind("/vsi", 0) == 0)
        throw refuse("names one of GDAL's virtual file systems, not a file on this machine");
    struct stat st {};
    if (::stat(text.c_str(), &st) != 0)
        throw refuse(std::strerror(errno));
    // A FIFO or a device would hold the open forever or feed it without end.
    if (!S_ISREG(st.st_mode)) throw refuse(notRegularFileReason(st.st_mode));
    return text;
}

/// The side-cars of file that exist, and file itself: the only names GDAL may
/// look for beside it.
std::vector<std::string> siblingFiles(const std::string& file) {
    const std::filesystem::path p(file);
    std::vector<std::string> names{p.filename().string()};
    std::error_code ec;
    for (const char* ext : kSideCars) {
        std::filesystem::path side = p;
        side.replace_extension(ext);
        if (std::filesystem::is_regular_file(side, ec)) names.push_back(side.filename().string());
    }
    return names;
}

Source openSource(const std::string& path, GdalMessages& messages) {
    const std::string file = localFile(path);
    const std::vector<std::string> siblings = siblingFiles(file);
    std::vector<const char*> siblingList;
    for (const std::string& n : siblings) siblingList.push_back(n.c_str());
    siblingList.push_back(nullptr);
    char** const siblingArg = const_cast<char**>(siblingList.data());
    messages.clear();
    Dataset ds(GDALOpenEx(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, kDrivers, nullptr, siblingArg));
    if (!ds) {
        // Name what the file is when another driver knows it; recognising reads only its first bytes.
        const GDALDriverH other = GDALIdentifyDriverEx(file.c_str(), GDAL_OF_RASTER, nullptr, siblingArg);
        if (other)
            throw ImportError(path + ": not a readable elevation file (" + GDALGetDriverLongName(other) +
                              " files are not read, only " + kFormats + " files)");
        if (messages.failed() &&
            GDALIdentifyDriverEx(file.c_str(), GDAL_OF_RASTER, kDrivers, siblingArg) != nullptr)
            throw ImportError(path + ": not a readable elevation file (" + messages.failure("") + ")");
        throw ImportError(path + ": not a readable elevation file (not a " + std::string(kFormats) + " file)");
    }
    if (GDALGetRasterCount(ds.get()) < 1) throw ImportError(path + ": holds no raster");
    std::array<double, 6> gt{};
    if (GDALGetGeoTransform(ds.get(), gt.data()) != CE_None)
        throw ImportError(path + ": has no georeferencing");
    const OGRSpatialReferenceH srsH = GDALGetSpatialRef(ds.get());
    if (!srsH) throw ImportError(path + ": has no coordinate system");
    OGRSpatialReference srs(*OGRSpatialReference::FromHandle(srsH));
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    checkHeightUnit(path, GDALGetRasterUnitType(GDALGetRasterBand(ds.get(), 1)));
    if (srs.IsCompound() || srs.IsVertical()) {
        const char* name = nullptr;
        const double factor = srs.GetTargetLinearUnits("VERT_CS", &name);
        if (std::abs(factor - 1.0) > 1e-9) checkHeightUnit(path, name ? name : "unknown");
    }
    int blockX = 0, blockY = 0;
    GDALGetBlockSize(GDALGetRasterBand(ds.get(), 1), &blockX, &blockY);
    if (std::int64_t(blockX) * blockY > kMaxBlockSamples)
        throw ImportError(path + ": its blocks of " + std::to_string(blockX) + " x " + std::to_string(blockY) +
                          " samples are too large to read");
    Source s;
    s.path = path;
    s.srs = srs;
    setExtent(path, ds.get(), s);
    s.ds = std::move(ds);
    return s;
}

bool overlaps(const GeoBox& a, const GeoBox& b) {
    return a.west < b.east && b.west < a.east && a.south < b.north && b.south < a.north;
}

/// The map's coordinate system and its name.
std::pair<OGRSpatialReference, std::string> targetCrs(const std::string& crs, const GeoBox& area) {
    OGRSpatialReference srs;
    std::string name = crs;
    if (crs.empty()) {
        const double lon = (area.west + area.east) / 2, lat = (area.south + area.north) / 2;
        const int zone = std::clamp(int(std::floor((lon + 180.0) / 6.0)) + 1, 1, 60);
        const int epsg = (lat >= 0 ? 32600 : 32700) + zone;
        if (srs.importFromEPSG(epsg) != OGRERR_NONE)
            throw ImportError("the coordinate system EPSG:" + std::to_string(epsg) + " is not known to GDAL");
        name = "EPSG:" + std::to_string(epsg);
    } else if (srs.SetFromUserInput(crs.c_str()) != OGRERR_NONE) {
        throw ImportError("--crs " + crs + ": not a coordinate system GDAL knows");
    }
    if (!srs.IsProjected()) throw ImportError("--crs " + crs + ": not a projected coordinate system");
    if (std::abs(srs.GetLinearUnits() - 1.0) > 1e-9)
        throw ImportError("--crs " + crs + ": its unit is not the metre");
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return {std::move(srs), name};
}

/// The largest rectangle of the map's system inside a box of another system: the
/// box's edges are curves there, so each side takes the innermost point of its edge.
std::array<double, 4> innerRectangle(const OGRSpatialReference& from, const std::array<double, 4>& box,
                                     const OGRSpatialReference& target) {
    std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&from, &target));
    if (!ct) throw ImportError("the area cannot be projected onto the map's coordinate system");
    constexpr int kSteps = 32;
    const auto [west, south, east, north] = box;
    double xmin = -std::numeric_limits<double>::max(), xmax = -xmin, ymin = xmin, ymax = xmax;
    auto edge = [&](double x0, double y0, double x1, double y1, auto&& take) {
        for (int i = 0; i <= kSteps; ++i) {
            double x = x0 + (x1 - x0) * i / kSteps, y = y0 + (y1 - y0) * i / kSteps;
            if (!ct->Transform(1, &x, &y)) throw ImportError("the area cannot be projected onto the map's coordinate system");
            take(x, y);
        }
    };
    edge(west, south, west, north, [&](double x, double) { xmin = std::max(xmin, x); });
    edge(east, south, east, north, [&](double x, double) { xmax = std::min(xmax, x); });
    edge(west, south, east, south, [&](double, double y) { ymin = std::max(ymin, y); });
    edge(west, north, east, north, [&](double, double y) { ymax = std::min(ymax, y); });
    if (!(xmin < xmax && ymin < ymax)) throw ImportError("the area is empty on the map's coordinate system");
    return {xmin, ymin, xmax, ymax};
}

/// The smallest rectangle of the map's system holding every input: the data's
/// extent on the map. Nothing when an input's box cannot be projected there.
std::optional<std::array<double, 4>> dataExtent(const std::vector<Source>& sources, const OGRSpatialReference& target) {
    std::array<double, 4> all{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                              -std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()};
    for (const Source& s : sources) {
        std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&s.srs, &target));
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        const auto [bx0, by0, bx1, by1] = s.bounds;
        if (!ct || !ct->TransformBounds(bx0, by0, bx1, by1, &x0, &y0, &x1, &y1, 21)) return std::nullopt;
        all = {std::min(all[0], x0), std::min(all[1], y0), std::max(all[2], x1), std::max(all[3], y1)};
    }
    return all;
}

/// The most whole boards whose pixels span no more than metres.
int boardsWithin(BoardGrid grid, double metres, double spacing) {
    int n = int(std::floor(metres / spacing / pixelsPerBoard(grid)));
    while (n > 0 && boardSide(grid, n) * spacing > metres + 1e-6) --n;
    return n;
}

const char* resamplingName(Resampling r) {
    switch (r) {
    case Resampling::Cubic: return "cubic";
    case Resampling::Average: return "average";
    case Resampling::Bilinear: break;
    }
    return "bilinear";
}

/// GDAL's progress callback, with the ImportStages as its argument.
int CPL_STDCALL gdalProgress(double complete, const char*, void* self) {
    return static_cast<ImportStages*>(self)->report(complete) ? TRUE : FALSE;
}

/// What the warp reads of one input: the window of its raster under the map, at
/// the overview level that suits the map's spacing.
struct SourceRead {
    int overview = -1;                               ///< -1: the full resolution
    std::int64_t width = 0, height = 0;              ///< samples read across and down
    std::int64_t rasterWidth = 0, rasterHeight = 0;  ///< the level's own size
    double perPixel = 1;                             ///< samples of the level across one map pixel
    std::int64_t samples() const { return width * height; }
};

/// The part of s under a map of w x h pixels (dst), worked out from the header
/// alone before anything is read. The coarsest overview whose samples are no
/// larger than the map's pixels is read instead of the full raster.
SourceRead sourceRead(const Source& s, GDALDatasetH dst, int w, int h) {
    GDALDatasetH src = s.ds.get();
    const double rasterX = GDALGetRasterXSize(src), rasterY = GDALGetRasterYSize(src);
    SourceRead r;
    r.rasterWidth = std::int64_t(rasterX), r.rasterHeight = std::int64_t(rasterY);
    double x0 = 0, y0 = 0, x1 = rasterX, y1 = rasterY, perPixel = 1;
    // The map's edges and a lattice inside it, taken back to the input's samples.
    constexpr int kSteps = 20;
    std::vector<double> xs, ys, zs;
    for (int j = 0; j <= kSteps; ++j)
        for (int i = 0; i <= kSteps; ++i) xs.push_back(double(w) * i / kSteps), ys.push_back(double(h) * j / kSteps);
    zs.assign(xs.size(), 0.0);
    std::vector<int> ok(xs.size(), 0);
    if (void* t = GDALCreateGenImgProjTransformer2(src, dst, nullptr)) {
        GDALGenImgProjTransform(t, TRUE, int(xs.size()), xs.data(), ys.data(), zs.data(), ok.data());
        GDALDestroyGenImgProjTransformer(t);
        double minX = std::numeric_limits<double>::max(), minY = minX, maxX = -minX, maxY = -minX;
        for (std::size_t k = 0; k < xs.size(); ++k)
            if (ok[k] && std::isfinite(xs[k]) && std::isfinite(ys[k]))
                minX = std::min(minX, xs[k]), maxX = std::max(maxX, xs[k]), minY = std::min(minY, ys[k]),
                maxY = std::max(maxY, ys[k]);
        // Points the projection cannot take leave the whole raster counted.
        if (minX <= maxX && std::count(ok.begin(), ok.end(), 0) == 0) {
            perPixel = std::min((maxX - minX) / w, (maxY - minY) / h);
            x0 = std::clamp(std::floor(minX), 0.0, rasterX), x1 = std::clamp(std::ceil(maxX), 0.0, rasterX);
            y0 = std::clamp(std::floor(minY), 0.0, rasterY), y1 = std::clamp(std::ceil(maxY), 0.0, rasterY);
        }
    }
    double factor = 1;
    GDALRasterBandH band = GDALGetRasterBand(src, 1);
    for (int k = 0; k < GDALGetOverviewCount(band); ++k) {
        GDALRasterBandH ov = GDALGetOverview(band, k);
        if (!ov || GDALGetRasterBandXSize(ov) < 1 || GDALGetRasterBandYSize(ov) < 1) continue;
        const double f = std::min(rasterX / GDALGetRasterBandXSize(ov), rasterY / GDALGetRasterBandYSize(ov));
        if (f <= perPixel && f > factor) factor = f, r.overview = k;
    }
    r.perPixel = perPixel / factor;
    r.width = std::int64_t(std::ceil((x1 - x0) / factor)), r.height = std::int64_t(std::ceil((y1 - y0) / factor));
    r.rasterWidth = std::int64_t(std::ceil(rasterX / factor)), r.rasterHeight = std::int64_t(std::ceil(rasterY / factor));
    return r;
}

/// Where pixel (px, py) of the map lies: the pixel, its longitude and latitude,
/// and the sample of the first input holding it.
std::string placeText(const ImportReport& r, const OGRSpatialReference& target, const std::vector<Source>& sources,
                      std::int64_t px, std::int64_t py) {
    const double x = r.originX + (double(px) + 0.5) * r.spacing, y = r.originY - (double(py) + 0.5) * r.spacing;
    std::string text = "map pixel " + std::to_string(px) + "," + std::to_string(py);
    const OGRSpatialReference geographic = wgs84();
    std::unique_ptr<OGRCoordinateTransformation> toLonLat(OGRCreateCoordinateTransformation(&target, &geographic));
    double lon = x, lat = y;
    if (toLonLat && toLonLat->Transform(1, &lon, &lat))
        text += " (longitude " + formatNumber(lon, 6) + ", latitude " + formatNumber(lat, 6) + ")";
    for (const Source& s : sources) {
        std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&target, &s.srs));
        std::array<double, 6> gt{}, inv{};
        double sx = x, sy = y;
        if (!ct || !ct->Transform(1, &sx, &sy) || GDALGetGeoTransform(s.ds.get(), gt.data()) != CE_None ||
            !GDALInvGeoTransform(gt.data(), inv.data()))
            continue;
        const double col = std::floor(inv[0] + sx * inv[1] + sy * inv[2]), row = std::floor(inv[3] + sx * inv[4] + sy * inv[5]);
        if (col >= 0 && row >= 0 && col < GDALGetRasterXSize(s.ds.get()) && row < GDALGetRasterYSize(s.ds.get()))
            return text + ", sample " + formatNumber(col, 0) + "," + formatNumber(row, 0) + " of " + s.path;
    }
    return text;
}

void checkOptions(const ImportOptions& o) {
    if (o.inputs.empty()) throw ImportError("no elevation file given");
    if (o.grid != BoardGrid::FiveMetre && o.grid != BoardGrid::TenMetre) throw ImportError("the grid must be 5 or 10 metres");
    if (o.spacing && !(std::isfinite(*o.spacing) && *o.spacing > 0))
        throw ImportError("the spacing must be a positive number of metres");
    for (const auto& s : {o.boards, o.pixels})
        if (s && (s->width < 1 || s->height < 1)) throw ImportError("the map must be at least one pixel and board wide");
    if (o.lowHeight.has_value() != o.highHeight.has_value() ||
        (o.lowHeight && !(std::isfinite(*o.lowHeight) && std::isfinite(*o.highHeight) && *o.lowHeight < *o.highHeight)))
        throw ImportError("the heights must be two numbers LOW:HIGH with LOW below HIGH");
    if (o.ground && !std::isfinite(*o.ground)) throw ImportError("the ground must be a number of metres");
    if (o.area) {
        const GeoBox& a = *o.area;
        if (!(a.west >= -180 && a.east <= 180 && a.south >= -90 && a.north <= 90 && a.west < a.east && a.south < a.north))
            throw ImportError("the area must be W,S,E,N in degrees with W below E and S below N");
    }
}

}  // namespace

double groundHeightOf(const ImportOptions& o, double dataLow) {
    return o.ground.value_or(o.lowHeight.value_or(dataLow));
}

bool ImportStages::report(double fraction) {
    if (m_stopped.load()) return false;
    if (!m_hook || std::this_thread::get_id() != m_owner) return true;
    const int percent = m_from + int(std::floor((m_to - m_from) * std::clamp(fraction, 0.0, 1.0)));
    if (percent <= m_shown) return true;
    m_shown = percent;
    if (m_hook(percent)) m_stopped.store(true);
    return !m_stopped.load();
}

ElevationRead readElevation(const ImportOptions& o, ImportStages& progress) {
    checkOptions(o);
    GdalMessages messages;
    std::vector<Source> sources;
    GeoBox all{180, 90, -180, -90};
    for (const std::string& path : o.inputs) {
        sources.push_back(openSource(path, messages));
        const GeoBox& b = sources.back().box;
        all = {std::min(all.west, b.west), std::min(all.south, b.south), std::max(all.east, b.east),
               std::max(all.north, b.north)};
    }
    const GeoBox area = o.area.value_or(all);
    if (std::none_of(sources.begin(), sources.end(), [&](const Source& s) { return overlaps(s.box, area); }))
        throw ImportError("the area " + boxText(area) + " lies outside every input");

    ImportReport r;
    r.area = area;
    r.grid = o.grid;
    r.spacing = o.spacing.value_or(double(o.grid));
    auto [target, crsName] = targetCrs(o.crs, area);
    r.crs = crsName;
    {
        char* wkt = nullptr;
        const char* wktOptions[] = {"FORMAT=WKT2_2019", nullptr};
        if (target.exportToWkt(&wkt, wktOptions) == OGRERR_NONE && wkt) r.crsWkt = wkt;
        CPLFree(wkt);
    }
    // A given area is cut from its own box; the whole input from the tiles' own extents.
    std::array<double, 4> rect{};
    if (o.area) {
        rect = innerRectangle(wgs84(), {area.west, area.south, area.east, area.north}, target);
    } else {
        rect = innerRectangle(sources[0].srs, sources[0].bounds, target);
        for (const Source& s : sources) {
            const auto [x0, y0, x1, y1] = innerRectangle(s.srs, s.bounds, target);
            rect = {std::min(rect[0], x0), std::min(rect[1], y0), std::max(rect[2], x1), std::max(rect[3], y1)};
        }
    }
    const auto [xmin, ymin, xmax, ymax] = rect;
    if (o.pixels) {
        r.width = o.pixels->width, r.height = o.pixels->height;
        r.boardsWide = boardsWithin(o.grid, r.width * r.spacing, r.spacing);
        r.boardsHigh = boardsWithin(o.grid, r.height * r.spacing, r.spacing);
    } else {
        r.boardsWide = o.boards ? o.boards->width : boardsWithin(o.grid, xmax - xmin, r.spacing);
        r.boardsHigh = o.boards ? o.boards->height : boardsWithin(o.grid, ymax - ymin, r.spacing);
        if (r.boardsWide < 1 || r.boardsHigh < 1)
            throw ImportError("the area is " + formatNumber(xmax - xmin, 0) + " x " + formatNumber(ymax - ymin, 0) +
                              " m, too small for one whole base board");
        // Checked before the sides are multiplied out, so no count overflows.
        if (r.boardsWide > kMaxPictureSide || r.boardsHigh > kMaxPictureSide)
            throw ImportError("the map would be larger than the largest picture (" + std::to_string(kMaxPictureSide) +
                              " pixels a side)");
        r.width = boardSide(o.grid, r.boardsWide), r.height = boardSide(o.grid, r.boardsHigh);
    }
    if (r.width > kMaxPictureSide || r.height > kMaxPictureSide ||
        std::int64_t(r.width) * r.height > kMaxPictureArea)
        throw ImportError("the map would be " + std::to_string(r.width) + " x " + std::to_string(r.height) +
                          " pixels, more than the largest picture (" + std::to_string(kMaxPictureSide) +
                          " a side, 16384 x 16384 in all)");
    r.originX = (xmin + xmax) / 2 - r.width * r.spacing / 2;
    r.originY = (ymin + ymax) / 2 + r.height * r.spacing / 2;

    // Pixels whose centre lies past the data's extent hold no data at all: known
    // from the geometry, so a map reaching past it is refused before any reading.
    std::vector<std::uint8_t> outsideColumn(std::size_t(r.width), 0), outsideRow(std::size_t(r.height), 0);
    if (const auto data = dataExtent(sources, target)) {
        const auto [dx0, dy0, dx1, dy1] = *data;
        constexpr double kSlack = 1e-6;
        std::int64_t insideColumns = 0, insideRows = 0;
        for (int px = 0; px < r.width; ++px) {
            const double x = r.originX + (px + 0.5) * r.spacing;
            outsideColumn[std::size_t(px)] = x < dx0 - kSlack || x > dx1 + kSlack;
            insideColumns += !outsideColumn[std::size_t(px)];
        }
        for (int py = 0; py < r.height; ++py) {
            const double y = r.originY - (py + 0.5) * r.spacing;
            outsideRow[std::size_t(py)] = y < dy0 - kSlack || y > dy1 + kSlack;
            insideRows += !outsideRow[std::size_t(py)];
        }
        r.outsidePixels = std::int64_t(r.width) * r.height - insideColumns * insideRows;
        r.dataBoards = {boardsWithin(o.grid, dx1 - dx0, r.spacing), boardsWithin(o.grid, dy1 - dy0, r.spacing)};
    }
    if (r.outsidePixels > 0 && o.outside == OutsidePolicy::Refuse)
        throw ImportError("the map (" + std::to_string(r.boardsWide) + " x " + std::to_string(r.boardsHigh) +
                          " boards) reaches past the data, which covers " + std::to_string(r.dataBoards.width) + " x " +
                          std::to_string(r.dataBoards.height) + " whole boards of the " + std::to_string(int(o.grid)) +
                          " m grid: " + formatNumber(100.0 * double(r.outsidePixels) / (double(r.width) * r.height), 1) +
                          " % of it would be invented; ask for fewer boards or a smaller area, or give --outside ground or extend");

    // The warp writes straight into our own buffer through a memory dataset.
    const std::size_t count = std::size_t(r.width) * std::size_t(r.height);
    std::vector<float> heights(count, kVoidHeight);
    Dataset dst(GDALCreate(GDALGetDriverByName("MEM"), "", r.width, r.height, 0, GDT_Float32, nullptr));
    if (!dst) throw ImportError("cannot make the map's grid (" + messages.failure("out of memory") + ")");
    char pointerOption[64];
    std::snprintf(pointerOption, sizeof pointerOption, "DATAPOINTER=%p", static_cast<void*>(heights.data()));
    const char* bandOptions[] = {pointerOption, nullptr};
    if (GDALAddBand(dst.get(), GDT_Float32, const_cast<char**>(bandOptions)) != CE_None)
        throw ImportError("cannot make the map's grid (" + messages.failure("out of memory") + ")");
    std::array<double, 6> gt{r.originX, r.spacing, 0, r.originY, 0, -r.spacing};
    GDALSetGeoTransform(dst.get(), gt.data());
    GDALSetSpatialRef(dst.get(), OGRSpatialReference::ToHandle(&target));
    GDALSetRasterNoDataValue(GDALGetRasterBand(dst.get(), 1), kVoidHeight);

    // What the warp will read is known from the headers: too much is refused before
    // any of it is read.
    std::vector<SourceRead> reads;
    std::int64_t total = 0;
    std::size_t largest = 0;
    for (const Source& s : sources) {
        reads.push_back(sourceRead(s, dst.get(), r.width, r.height));
        total += reads.back().samples();
        if (reads.back().samples() > reads[largest].samples()) largest = reads.size() - 1;
    }
    if (total > kMaxSourceSamples) {
        const SourceRead& big = reads[largest];
        throw ImportError(sources[largest].path + ": the map's area covers " + std::to_string(big.width) + " x " +
                          std::to_string(big.height) + " of its " + std::to_string(big.rasterWidth) + " x " +
                          std::to_string(big.rasterHeight) + " samples (" + std::to_string(total) +
                          " from the inputs in all), more than the " + std::to_string(kMaxSourceSamples) +
                          " an import reads; choose a smaller area or a coarser spacing, or add overviews to the file");
    }

    const std::string voidText = formatNumber(kVoidHeight, 0);
    // The buffer starts void; each input is warped over what the ones before it left.
    // The kernel runs on all cores, but without "-multi": that would move the chunks,
    // and with them the progress reports, onto a thread of GDAL's own.
    // Shares of the whole: the warps 0..80 % (split among the inputs), the voids to 88,
    // the levels to 94, the contours to 100. GDAL reports a warp's start and end;
    // between them, as often as its threads get round to it.
    for (std::size_t i = 0; i < sources.size(); ++i) {
        if (reads[i].samples() == 0) continue;
        GDALDatasetH src = sources[i].ds.get();
        // The warp leaves NaN samples out as it leaves void ones out.
        // GDAL's approximate transformer measures its error in source samples: on a
        // coarse input an eighth of one is a hundred metres on the map. A hundredth
        // of a map pixel is the most it may be off here (and never more than GDAL's
        // own eighth of a sample), so a coarse input is projected all but exactly
        // while the transformer still interpolates along each row.
        char tolerance[32];
        std::snprintf(tolerance, sizeof tolerance, "%.9g", std::min(0.125, 0.01 * reads[i].perPixel));
        std::vector<std::string> args{"-r", resamplingName(o.resampling), "-dstnodata", voidText, "-wo",
                                      "NUM_THREADS=ALL_CPUS", "-wm", "256", "-et", tolerance, "-ovr",
                                      reads[i].overview < 0 ? "NONE" : std::to_string(reads[i].overview)};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::unique_ptr<GDALWarpAppOptions, decltype(&GDALWarpAppOptionsFree)> warpOptions(
            GDALWarpAppOptionsNew(argv.data(), nullptr), &GDALWarpAppOptionsFree);
        const int n = int(sources.size());
        progress.stage(int(80 * i / n), int(80 * (i + 1) / n));
        GDALWarpAppOptionsSetProgress(warpOptions.get(), &gdalProgress, &progress);
        int usageError = 0;
        messages.clear();
        // A read error on a worker thread can leave the warp "done": any failure GDAL reported counts.
        const bool warped = GDALWarp(nullptr, dst.get(), 1, &src, warpOptions.get(), &usageError) != nullptr;
        if (progress.stopped()) throw ImportCancelled();
        if (!warped || messages.failed())
            throw ImportError(sources[i].path + ": cannot be read onto the map (" + messages.failure("the warp failed") + ")");
    }
    progress.stage(0, 80);
    progress.check(1);

    // Infinite heights and NaN without a void value of their own are voids too.
    for (float& v : heights)
        if (!std::isfinite(v)) v = kVoidHeight;
    // The lowest and highest height the inputs hold; a fill from them stays between them.
    auto lo = heights.end(), hi = heights.end();
    for (auto it = heights.begin(); it != heights.end(); ++it) {
        if (*it == kVoidHeight) continue;
        if (lo == heights.end() || *it < *lo) lo = it;
        if (hi == heights.end() || *it >= *hi) hi = it;  // the last highest, the first lowest
    }
    if (lo == heights.end())
        throw ImportError("the inputs hold no heights in the area (every sample there is void, NaN or infinite)");
    r.dataLow = *lo, r.dataHigh = *hi;
    // Heights no terrain has are a stray value or a misread file: mapping them would
    // squeeze the real terrain into a level or two. Given heights say what is meant.
    if (!o.lowHeight && (r.dataLow < kLowestTerrain || r.dataHigh > kHighestTerrain)) {
        const auto stray = r.dataHigh > kHighestTerrain ? hi : lo;
        const std::int64_t at = stray - heights.begin();
        char value[32];
        std::snprintf(value, sizeof value, "%g", double(*stray));
        throw ImportError(std::string("a height of ") + value + " m at " +
                          placeText(r, target, sources, at % r.width, at / r.width) + " is not terrain (heights lie between " +
                          formatNumber(kLowestTerrain, 0) + " and " + formatNumber(kHighestTerrain, 0) +
                          " m); give the heights for levels 0 and 255 (--heights LOW:HIGH) to map it anyway");
    }

    // What is not data: voids within the data's extent, and pixels past it.
    HeightImage invented(r.width, r.height, 0);
    std::uint8_t* mark = invented.grey();
    const float ground = float(groundHeightOf(o, r.dataLow));
    std::int64_t voids = 0;
    for (int py = 0; py < r.height; ++py)
        for (int px = 0; px < r.width; ++px) {
            const std::size_t i = std::size_t(py) * std::size_t(r.width) + std::size_t(px);
            if (outsideColumn[std::size_t(px)] || outsideRow[std::size_t(py)]) {
                mark[i] = 255;
                // Past the data nothing is warped; set to the ground here, or filled below.
                heights[i] = o.outside == OutsidePolicy::Ground ? ground : kVoidHeight;
            } else if (heights[i] == kVoidHeight) {
                mark[i] = 255, ++voids;
                if (o.voids == VoidPolicy::Ground) heights[i] = ground;
            }
        }
    r.voidsFilled = voids;
    r.inventedShare = double(voids + r.outsidePixels) / (double(r.width) * r.height);
    if (voids > 0 && o.voids == VoidPolicy::Refuse)
        throw ImportError(std::to_string(voids) + " pixels of the map (" + formatNumber(100.0 * double(voids) / (double(r.width) * r.height), 2) +
                          " %) have no data; give --voids fill or ground to import anyway");
    progress.stage(80, 88);
    // The warp is done with the buffer: the fill may take it over.
    dst.reset();
    if (std::count(heights.begin(), heights.end(), kVoidHeight) > 0) {
        HeightGrid grid{r.width, r.height, std::move(heights)};
        const bool done = fillVoids(grid, [&](double share) { return !progress.report(share); }).has_value();
        heights = std::move(grid.metres);
        if (!done) throw ImportCancelled();
    }
    progress.check(1);
    ElevationRead read{HeightGrid{r.width, r.height, std::move(heights)}, std::move(invented), r};
    return read;
}

}  // namespace morv
