#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/BoardFit.h"
#include "engine/HeightGrid.h"

namespace morv {

/// A refused import: a file that cannot be read, an area outside the data, a map
/// too large, heights not in metres... The message is one line, ready to print.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// An import stopped by its progress hook: nothing was made.
class ImportCancelled : public ImportError {
public:
    ImportCancelled() : ImportError("the import was cancelled") {}
};

/// Told how far an import is, in percent (0..100, never less than before), as it
/// warps the data and goes over the map's rows; returns true to stop the import
/// there. Always called on the thread that runs the import.
using ImportProgress = std::function<bool(int percent)>;

/// How heights are sampled onto the map's grid.
enum class Resampling { Bilinear, Cubic, Average };

/// A box of longitudes and latitudes in degrees (WGS 84).
struct GeoBox {
    double west = 0, south = 0, east = 0, north = 0;
};

/// A size in base boards or in pixels.
struct GridSize {
    int width = 0, height = 0;
};

/// What becomes of the map's pixels past the data's extent (boards or an area
/// larger than the data): refused, flat at the ground height, or extended from the
/// data's edge as voids are filled.
enum class OutsidePolicy { Refuse, Ground, Extend };

/// What becomes of the pixels within the data's extent that hold no height:
/// filled smoothly from the heights around them, flat at the ground height, or refused.
enum class VoidPolicy { Fill, Ground, Refuse };

/// The choices of an import.
struct ImportOptions {
    /// Elevation files on this machine (GeoTIFF, SRTM .hgt, ESRI ASCII grid, USGS DEM),
    /// mosaicked when there are several. Addresses, GDAL's virtual file systems and
    /// files that name other files (.vrt) are refused.
    std::vector<std::string> inputs;
    /// The area to import; absent: everything the inputs cover.
    std::optional<GeoBox> area;
    /// The map's coordinate system as GDAL takes it ("EPSG:32632", a PROJ string,
    /// WKT); empty: the UTM zone of the area's centre.
    std::string crs;
    Resampling resampling = Resampling::Bilinear;
    /// Base-board grid: 144 pixels a board on the 5 m grid, 72 plus one on the 10 m grid.
    BoardGrid grid = BoardGrid::FiveMetre;
    /// Metres between pixels; absent: the grid's own spacing. A spacing of its own
    /// keeps the grid's pixels a board, so the terrain is scaled to the boards.
    std::optional<double> spacing;
    /// Whole boards to cut, centred on the area; absent: as many as the area holds.
    std::optional<GridSize> boards;
    /// An exact size in pixels instead of whole boards, centred on the area.
    std::optional<GridSize> pixels;
    /// Heights (metres) mapped to levels 0 and 255; absent: the lowest and highest
    /// height of the map.
    std::optional<double> lowHeight, highHeight;
    /// The contour image's ground height in metres; absent: the lowest mapped height.
    std::optional<double> ground;
    OutsidePolicy outside = OutsidePolicy::Refuse;
    VoidPolicy voids = VoidPolicy::Fill;
};

/// What an import made, for the printed report and its JSON file. The map's scale
/// and place (spacing, metresPerLevel, lowHeight as level 0's height, crsWkt and
/// the origin) are what a companion file recording the map's scale needs.
struct ImportReport {
    int width = 0, height = 0;            ///< pixels
    int boardsWide = 0, boardsHigh = 0;   ///< whole base boards the map holds
    BoardGrid grid = BoardGrid::FiveMetre;  ///< base-board grid
    double spacing = 5;                   ///< metres between pixels
    double metresPerLevel = 0;            ///< height of one grey level
    double lowHeight = 0, highHeight = 0; ///< heights mapped to levels 0 and 255
    double dataLow = 0, dataHigh = 0;     ///< lowest and highest height of the map
    double groundHeight = 0;              ///< the contour image's ground, metres
    int groundLevel = 0;                  ///< the same as a grey level
    GeoBox area;                          ///< the area imported
    std::string crs;                      ///< the map's coordinate system ("EPSG:32632")
    std::string crsWkt;                   ///< the same as WKT
    double originX = 0, originY = 0;      ///< the map's top-left corner in that system
    std::int64_t voidsFilled = 0;         ///< pixels within the data's extent without data, filled or set to ground
    std::int64_t outsidePixels = 0;       ///< pixels past the data's extent, set to ground or extended
    double inventedShare = 0;             ///< (voidsFilled + outsidePixels) / all pixels: what is not data
    GridSize dataBoards;                  ///< whole boards the data's extent holds on the grid
};

/// The progress of an import over its stages: each stage covers its share of
/// 0..100 percent and tells its own fraction done. The hook hears only from the
/// thread that made this, and only when the percentage grows; a report from
/// another thread (GDAL may use its own) only learns whether to stop.
class ImportStages {
public:
    explicit ImportStages(const ImportProgress& hook) : m_hook(hook), m_owner(std::this_thread::get_id()) {}

    /// The next stage covers from..to percent of the whole.
    void stage(int from, int to) { m_from = from, m_to = to; }
    /// The stage is fraction (0..1) done; false once the hook has asked to stop.
    bool report(double fraction);
    /// The same; throws ImportCancelled once the hook has asked to stop.
    void check(double fraction) {
        if (!report(fraction)) throw ImportCancelled();
    }
    bool stopped() const { return m_stopped.load(); }

private:
    const ImportProgress& m_hook;
    std::thread::id m_owner;
    int m_from = 0, m_to = 100, m_shown = -1;
    std::atomic<bool> m_stopped{false};
};

/// The heights an import read, on the map's grid, and what is known of the map so far.
struct ElevationRead {
    HeightGrid heights;  ///< metres, every pixel set (voids filled or at the ground, as asked)
    HeightImage invented;///< 255 where a pixel's height is not the data's (filled, ground, extended), else 0
    ImportReport report; ///< all but the levels and the ground: size, boards, area, CRS, origin, data range, voids
};

/// Reads the elevation data onto the map's grid: opens each input (named local
/// files of the allowed formats only), works out the map's size in boards and
/// pixels, and warps every input onto it (the warps are stage 0..80 of stages).
/// NaN and infinite heights become voids. Pixels past the data's extent and
/// voids within it are treated as options.outside and options.voids say (the fill
/// is stage 80..88, fillVoids): smooth, and within the heights around each void. The ground height is
/// options.ground, else the height of level 0. Throws ImportError with a one-line
/// message on bad input: a map reaching past the data or voids when refused, an input that is not one of the formats, more reading than
/// the inputs' headers allow, no height at all in the area, heights no terrain has
/// (unless lowHeight and highHeight are given), a read error (GDAL's first message
/// folded in; GDAL prints nothing). Throws ImportCancelled when stages asks to stop.
ElevationRead readElevation(const ImportOptions& options, ImportStages& stages);

/// A number with decimals places ("%.*f"), as the import's messages and report write it.
std::string formatNumber(double v, int decimals);

/// An area as W,S,E,N with six decimals.
std::string boxText(const GeoBox& b);

/// The height pixels get when the ground stands in for data: the given ground,
/// else the height of level 0 (the given low height, else the data's lowest).
double groundHeightOf(const ImportOptions& options, double dataLow);

}  // namespace morv
