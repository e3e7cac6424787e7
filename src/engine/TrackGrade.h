#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/HeightImage.h"
#include "engine/MapScale.h"

namespace morv {

/// A track that cannot be graded as asked: a line of one point, a point off the
/// map, a grade no formation can keep between two fixed heights, a map without a
/// scale. The message is one line, ready to show.
class GradeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A point of a track line in pixels: (0, 0) is the centre of the top-left pixel,
/// x grows to the right and y downwards.
struct TrackPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const TrackPoint&, const TrackPoint&) = default;
};

/// A height the formation must have at a point of the track (a station, a bridge,
/// a tunnel mouth).
struct FixedHeight {
    double distance = 0;  ///< metres along the track from its first point
    double metres = 0;    ///< the formation's height there, in the map's metres
};

/// What shapes the formation's profile.
struct ProfileOptions {
    double maxGrade = 0.025;          ///< the steepest grade allowed, rise over run (0.025 = 2.5 %)
    std::vector<FixedHeight> fixes;   ///< heights held exactly, in any order
    double curveMetres = 100;         ///< length of the vertical curves joining two grades; 0: none
};

/// The formation's profile: stations at even steps (at most a pixel apart) along
/// the line, the terrain under each and the formation computed for it, both in
/// grey levels (unrounded).
struct TrackProfile {
    std::vector<TrackPoint> line;          ///< the track's points, as given
    std::vector<double> vertexDistance;    ///< metres along the track to each point of line
    MapScale scale;                        ///< the map's scale the profile was made for
    double maxGrade = 0;                   ///< the limit it was solved under
    double spacing = 0;                    ///< metres between stations
    std::vector<TrackPoint> station;       ///< each station's place, pixels
    std::vector<double> terrain;           ///< terrain under each station, levels
    std::vector<double> formation;         ///< formation at each station, levels
    std::vector<std::size_t> fixedStation; ///< the stations held at a fixed height, ascending

    /// Metres from the first point to the last.
    double length() const noexcept { return spacing * double(station.empty() ? 0 : station.size() - 1); }
    /// Metres along the track of station i.
    double distanceOf(std::size_t i) const noexcept { return spacing * double(i); }
    /// The formation (levels) at a distance in metres, straight between stations;
    /// clamped to the track's ends.
    double formationAt(double metres) const noexcept;
    /// The terrain (levels) at a distance in metres, as formationAt.
    double terrainAt(double metres) const noexcept;
    /// The place (pixels) at a distance in metres along the line, clamped to its ends.
    TrackPoint pointAt(double metres) const noexcept;
    /// The formation's grade from station i - 1 to station i (rise over run; i >= 1).
    double gradeAt(std::size_t i) const noexcept;
    /// The steepest grade of the formation, unsigned.
    double steepestGrade() const noexcept;
    /// The mean of the unsigned grade over the track's length.
    double meanGrade() const noexcept;
};

/// The height (levels, bilinear between pixel centres) of a grey picture at a place
/// in pixels; places off the picture read the nearest edge.
double sampleLevel(const std::uint8_t* grey, int width, int height, TrackPoint at) noexcept;

/// Computes the formation that keeps closest to the terrain under a track (least
/// sum of |formation - terrain| along it) while no grade between stations exceeds
/// options.maxGrade and each fixed height is held exactly; then joins its grades
/// by vertical curves of options.curveMetres (a running mean, which never steepens
/// a grade and leaves the fixed heights and the track's ends where they are). line
/// is in pixels of a grey picture width x height; scale must know metres per pixel
/// and per level. Throws GradeError: fewer than two points, a point off the map, a
/// line of no length, no scale, a fixed height off the track or outside the
/// levels' heights, two fixed heights no allowed grade joins (naming both and the
/// grade needed).
TrackProfile solveProfile(const std::uint8_t* grey, int width, int height, const MapScale& scale,
                          const std::vector<TrackPoint>& line, const ProfileOptions& options);

/// The same on a grey picture. Throws GradeError also for a colour picture.
TrackProfile solveProfile(const HeightImage& map, const MapScale& scale, const std::vector<TrackPoint>& line,
                          const ProfileOptions& options);

/// The corridor cut and filled to the formation.
struct CorridorOptions {
    double widthMetres = 10;    ///< the formation's full width, centred on the line
    double shoulderMetres = 10; ///< on each side beyond it, the band that blends into the terrain
};

/// A rectangle of pixels: x0 <= x < x1, y0 <= y < y1.
struct PixelBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const noexcept { return x1 <= x0 || y1 <= y0; }
    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

/// What cutting and filling the corridor did.
struct CorridorResult {
    PixelBox box;                     ///< the pixels the corridor may touch (none outside it changed)
    double cutCubicMetres = 0;        ///< terrain taken away, to the computed heights
    double fillCubicMetres = 0;       ///< terrain added
    double largestCutMetres = 0;      ///< the deepest cut below the terrain
    double highestBankMetres = 0;     ///< the highest fill above the terrain
    double storedDeviationLevels = 0; ///< the most a stored formation pixel departs from its computed height
    std::int64_t formationPixels = 0; ///< pixels set to the formation
    std::int64_t shoulderPixels = 0;  ///< pixels blended into the terrain
};

/// The pixels of a width x height map a corridor along profile.line may touch.
PixelBox corridorBox(const TrackProfile& profile, const CorridorOptions& options, int width, int height) noexcept;

/// Cuts and fills the corridor of a grey plane (width x height, row-major) to the
/// profile's formation: pixels within half the width of the line take the
/// formation's height at their nearest point of the line (rounded to a level);
/// those within the shoulder beyond blend smoothly from it to their own terrain.
/// Reads and writes only the pixels inside corridorBox. Volumes compare the
/// computed heights with the terrain the plane held before.
CorridorResult applyCorridor(std::uint8_t* grey, int width, int height, const TrackProfile& profile,
                             const CorridorOptions& options);

/// Where the formation stored in whole levels steps from one level to the next.
struct LevelStep {
    double distance = 0;  ///< metres along the track where the computed formation crosses the half level
    TrackPoint at;        ///< the place, pixels
    int from = 0;         ///< the stored level before the step
    int to = 0;           ///< the stored level after it
};

/// Every step of the stored formation along the track, in order.
std::vector<LevelStep> levelSteps(const TrackProfile& profile);

}  // namespace morv
