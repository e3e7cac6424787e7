#pragma once
#include <array>
#include <string>

#include "engine/SampleLevels.h"

namespace morv {

/// What a pixel and a grey level of a map stand for on the ground. A map opened
/// without one knows nothing of metres; the import, a 16-bit open or the user
/// supply it, and it travels with the map in a small companion file.
struct MapScale {
    double pixelMetres = 0;   ///< ground distance across one pixel; 0 when unknown
    double levelMetres = 0;   ///< height of one grey level; 0 when unknown
    double baseMetres = 0;    ///< height of level 0
    /// The coordinate system of the map's grid (WKT) and the grid's place in it
    /// (GDAL's order: x0, dx/dcol, dx/drow, y0, dy/dcol, dy/drow). Empty when the
    /// map is not georeferenced.
    std::string crsWkt;
    std::array<double, 6> geoTransform{0, 1, 0, 0, 0, 1};

    bool knowsDistances() const noexcept { return pixelMetres > 0; }
    bool knowsHeights() const noexcept { return levelMetres > 0; }
    bool isGeoreferenced() const noexcept { return !crsWkt.empty(); }

    /// The height in metres of a (possibly fractional) grey level.
    double metresOfLevel(double level) const noexcept { return baseMetres + level * levelMetres; }
    /// The grey level (unrounded) standing for a height in metres; needs knowsHeights().
    double levelOfMetres(double metres) const noexcept { return (metres - baseMetres) / levelMetres; }

    friend bool operator==(const MapScale&, const MapScale&) = default;
};

/// Metres a pixel on the 5 m grid: what a map is taken to have unless told.
inline constexpr double kGridPixelMetres = 5;

/// The metres a pixel of a width x height map is taken to cover unless told: 10
/// when both sides are whole boards of the 10 m grid (72 pixels a board plus one,
/// which no side of whole 5 m boards, 144 a board, can be), else 5.
inline double gridPixelMetres(int width, int height) noexcept {
    const auto tenMetreSide = [](int side) { return side > 1 && (side - 1) % 72 == 0; };
    return tenMetreSide(width) && tenMetreSide(height) ? 10 : kGridPixelMetres;
}

/// The scale of a map read from 16-bit samples taken to be metres: level 0 is the
/// low sample, each level (high - low) / 255 metres; pixels of pixelMetres.
inline MapScale scaleOfSamples(SampleRange range, double pixelMetres) noexcept {
    MapScale s;
    s.pixelMetres = pixelMetres;
    s.levelMetres = unitsPerLevel(range);
    s.baseMetres = double(range.low);
    return s;
}

}  // namespace morv
