#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/HeightImage.h"

namespace morv {

/// Marks a sample of a height grid that holds no height (no real height is this low).
inline constexpr float kVoidHeight = -99999.0f;

/// Told the fraction (0..1) of a step done; returns true to stop the step there.
using FractionHook = std::function<bool(double done)>;

/// Heights in metres on a grid of pixels, rows top to bottom; kVoidHeight marks
/// the pixels without data.
struct HeightGrid {
    int width = 0, height = 0;
    std::vector<float> metres;
};

/// Fills the void pixels of grid smoothly from the known ones, coarse to fine: the
/// known heights are averaged down a pyramid of halved grids until every cell
/// knows one, then each finer level takes its voids bilinearly from the level
/// above and relaxes them a few times towards the mean of their four neighbours.
/// So the fill follows the terrain around a hole without streaks, and every
/// filled height is a weighted mean of known ones: it never leaves their range.
/// Returns the number filled, or nothing when hook stopped the fill (told the
/// share done after each level). A grid without a known pixel is left as it is.
std::optional<std::int64_t> fillVoids(HeightGrid& grid, const FractionHook& hook = {});

/// The grey level of a height when low and high metres are levels 0 and 255:
/// rounded to nearest and held to 0..255 (level 0 throughout when high <= low).
std::uint8_t levelOfHeight(double metres, double low, double high) noexcept;

/// The grid as a grey picture, each pixel at levelOfHeight; hook hears the share
/// of rows done after each row. Nothing when hook stopped it.
std::optional<HeightImage> levelsOfHeights(const HeightGrid& grid, double low, double high,
                                           const FractionHook& hook = {});

}  // namespace morv
