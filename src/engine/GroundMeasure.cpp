#include "engine/GroundMeasure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/HeightUnits.h"
#include "engine/TrackGrade.h"

namespace morv {

namespace {

int levelOf(const HeightImage& image, int x, int y) { return fcnGrayLevel(image.pixel(x, y)); }

/// The change of level a pixel along one axis, from the neighbours either side
/// (or the pixel itself and its one neighbour at an edge).
double levelsPerPixel(const HeightImage& image, int x, int y, int dx, int dy) {
    const int w = image.width(), h = image.height();
    const int x0 = std::max(0, x - dx), y0 = std::max(0, y - dy);
    const int x1 = std::min(w - 1, x + dx), y1 = std::min(h - 1, y + dy);
    const int span = (x1 - x0) + (y1 - y0);
    if (span == 0) return 0;
    return double(levelOf(image, x1, y1) - levelOf(image, x0, y0)) / span;
}

/// The level at a point in corner coordinates, bilinear between pixel centres.
double levelAtPoint(const HeightImage& image, double x, double y) {
    const TrackPoint centreBased{x - 0.5, y - 0.5};
    if (image.isGrey()) return sampleLevel(image.grey(), image.width(), image.height(), centreBased);
    // A colour map reads as its grey levels: the four pixels around the point,
    // each clamped to the map, make a small grey picture sampled the same way.
    const int x0 = int(std::floor(centreBased.x)), y0 = int(std::floor(centreBased.y));
    std::uint8_t patch[4];
    for (int k = 0; k < 4; ++k) {
        const int px = std::clamp(x0 + k % 2, 0, image.width() - 1), py = std::clamp(y0 + k / 2, 0, image.height() - 1);
        patch[k] = std::uint8_t(levelOf(image, px, py));
    }
    const TrackPoint inPatch{std::clamp(centreBased.x - x0, 0.0, 1.0), std::clamp(centreBased.y - y0, 0.0, 1.0)};
    return sampleLevel(patch, 2, 2, inPatch);
}

std::string number(double value, const char* format) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

}  // namespace

std::optional<double> slopePercentAt(const HeightImage& image, const MapScale& scale, int x, int y) {
    if (!scale.knowsDistances() || !scale.knowsHeights()) return std::nullopt;
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return std::nullopt;
    const double across = levelsPerPixel(image, x, y, 1, 0);
    const double down = levelsPerPixel(image, x, y, 0, 1);
    return std::hypot(across, down) * scale.levelMetres / scale.pixelMetres * 100.0;
}

std::string groundReadout(const HeightImage& image, const std::optional<MapScale>& scale, int x, int y) {
    if (!scale || !scale->knowsHeights() || x < 0 || y < 0 || x >= image.width() || y >= image.height()) return {};
    std::string text = " - H: " + metresText(scale->metresOfLevel(levelOf(image, x, y)));
    if (const auto slope = slopePercentAt(image, *scale, x, y)) text += " - Slope: " + number(*slope, "%.1f") + "%";
    return text;
}

GroundMeasure measureGround(const HeightImage& image, const std::optional<MapScale>& scale, double ax, double ay,
                            double bx, double by) {
    GroundMeasure m;
    m.pixels = std::hypot(bx - ax, by - ay);
    m.riseLevels = levelAtPoint(image, bx, by) - levelAtPoint(image, ax, ay);
    if (scale && scale->knowsDistances()) m.metres = m.pixels * scale->pixelMetres;
    if (scale && scale->knowsHeights()) m.riseMetres = m.riseLevels * scale->levelMetres;
    if (m.metres && m.riseMetres && *m.metres > 0) m.gradePercent = *m.riseMetres / *m.metres * 100.0;
    return m;
}

std::string measureText(const GroundMeasure& m) {
    std::string line = "Distance: " + (m.metres ? metresText(*m.metres) : number(m.pixels, "%.1f") + " px");
    line += " - Rise: " + (m.riseMetres ? metresText(*m.riseMetres) : number(m.riseLevels, "%.1f") + " levels");
    if (m.gradePercent) line += " - Grade: " + number(*m.gradePercent, "%.2f") + "%";
    return line;
}

}  // namespace morv
