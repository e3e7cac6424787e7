#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

/// The choices of an import.
struct ImportOptions {
    /// Elevation files GDAL reads (SRTM .hgt, GeoTIFF, ESRI ASCII grid, USGS DEM...),
    /// mosaicked when there are several.
    std::vector<std::string> inputs;
    /// The area to import; absent: everything the inputs cover.
    std::optional<GeoBox> area;
    /// The map's coordinate system as GDAL takes it ("EPSG:32632", a PROJ string,
    /// WKT); empty: the UTM zone of the area's centre.
    std::string crs;
    Resampling resampling = Resampling::Bilinear;
    /// Base-board grid: 5 (144 pixels a board) or 10 (72 pixels a board plus one).
    int grid = 5;
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
};

/// What an import made, for the printed report and its JSON file.
struct ImportReport {
    int width = 0, height = 0;            ///< pixels
    int boardsWide = 0, boardsHigh = 0;   ///< whole base boards the map holds
    int grid = 5;                         ///< base-board grid in metres (5 or 10)
    double spacing = 5;                   ///< metres between pixels
    double metresPerLevel = 0;            ///< height of one grey level
    double lowHeight = 0, highHeight = 0; ///< heights mapped to levels 0 and 255
    double dataLow = 0, dataHigh = 0;     ///< lowest and highest height of the map
    double groundHeight = 0;              ///< the contour image's ground, metres
    int groundLevel = 0;                  ///< the same as a grey level
    GeoBox area;                          ///< the area imported
    std::string crs;                      ///< the map's coordinate system ("EPSG:32632")
    double originX = 0, originY = 0;      ///< the map's top-left corner in that system
    std::int64_t voidsFilled = 0;         ///< pixels without data, filled from neighbours
};

/// One 8-bit grey picture, rows top to bottom.
struct GreyPlane {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bytes;
};

/// The height map, its contour image and the report.
struct ImportResult {
    GreyPlane map;
    GreyPlane contour;
    ImportReport report;
};

/// Side in pixels of n base boards on a grid (5: 144 n; 10: 72 n + 1).
int boardPixels(int grid, int boards);

/// Imports elevation data as a height map: mosaics the inputs, projects and
/// resamples them onto the map's grid, fills the voids from their neighbours, maps
/// the heights to levels 0..255 (rounded to nearest) and draws the contour image:
/// white, with black where ground-level pixels meet higher terrain (the program's
/// own contour rule). Throws ImportError with a one-line message on bad input, and
/// ImportCancelled when progress asks to stop.
ImportResult importElevation(const ImportOptions& options, const ImportProgress& progress = {});

/// Shaded relief of a height map for a preview, lit from the north-west 45 degrees
/// up: level 255 x the light falling on each pixel's slope (flat ground is 180).
/// metresPerLevel and spacing (metres between pixels) give the slopes their steepness.
GreyPlane shadedRelief(const GreyPlane& map, double metresPerLevel, double spacing);

/// The report as lines of text ("size: 576 x 576 pixels, 4 x 4 boards"...).
std::string reportText(const ImportReport& report);

/// The report as a JSON object.
std::string reportJson(const ImportReport& report);

}  // namespace morv
