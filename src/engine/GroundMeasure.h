#pragma once
#include <optional>
#include <string>

#include "engine/HeightImage.h"
#include "engine/MapScale.h"

namespace morv {

/// The steepest slope of the ground at pixel (x, y), in percent (rise over run x
/// 100): the grey levels of the neighbours across and down (central differences,
/// one-sided at the map's edges) turned into metres by the map's scale. Nothing
/// when the scale does not know both metres per pixel and metres per level, or
/// (x, y) is off the map.
std::optional<double> slopePercentAt(const HeightImage& image, const MapScale& scale, int x, int y);

/// What the pointer's readout adds over pixel (x, y) where the scale knows it:
/// " - H: 312.5 m" with a heights' scale, then " - Slope: 4.2%" when distances are
/// known too; "" without a scale.
std::string groundReadout(const HeightImage& image, const std::optional<MapScale>& scale, int x, int y);

/// What lies between two points of a map. Points are in image coordinates as the
/// pointer gives them: pixel (x, y) covers x..x+1 across and y..y+1 down.
struct GroundMeasure {
    double pixels = 0;                 ///< straight distance in pixels
    double riseLevels = 0;             ///< the height at the end less the height at the start, levels
    std::optional<double> metres;      ///< the distance in metres, when the scale knows it
    std::optional<double> riseMetres;  ///< the rise in metres, when the scale knows it
    std::optional<double> gradePercent;///< rise over distance x 100, when both are known and the distance is not 0
};

/// Measures from (ax, ay) to (bx, by) on a map: the distance, and the rise between
/// the heights there (bilinear between pixel centres; points off the map read the
/// nearest edge). scale may be none.
GroundMeasure measureGround(const HeightImage& image, const std::optional<MapScale>& scale, double ax, double ay,
                            double bx, double by);

/// The measure as one line: "Distance: 150 m - Rise: -6.5 m - Grade: -4.33%" with
/// a scale, "Distance: 30 px - Rise: 13 levels" without one.
std::string measureText(const GroundMeasure& measure);

}  // namespace morv
