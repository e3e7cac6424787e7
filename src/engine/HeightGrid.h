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

    /// The number of void pixels.
    std::int64_t voidCount() const noexcept;
};

/// Fills the void pixels of grid from their neighbours, ring by ring from the known
/// terrain inwards: each takes the mean of its neighbours (of 8) known before its
/// ring. Returns the number filled, or nothing when hook stopped the fill (after
/// a ring; the grid is then partly filled). A grid without a known pixel is left
/// as it is (0 filled).
std::optional<std::int64_t> fillVoids(HeightGrid& grid, const FractionHook& hook = {});

/// The grey level of a height when low and high metres are levels 0 and 255:
/// rounded to nearest and held to 0..255 (level 0 throughout when high <= low).
std::uint8_t levelOfHeight(double metres, double low, double high) noexcept;

/// The grid as a grey picture, each pixel at levelOfHeight; hook hears the share
/// of rows done after each row. Nothing when hook stopped it.
std::optional<HeightImage> levelsOfHeights(const HeightGrid& grid, double low, double high,
                                           const FractionHook& hook = {});

}  // namespace morv
