#pragma once
#include <cmath>
#include <cstdint>
#include <functional>

namespace morv {

/// Convert to whole: nearest whole number, ties to the even one (2.5 -> 2, 3.5 -> 4).
inline std::int64_t cvWhole(double v) noexcept { return static_cast<std::int64_t>(std::nearbyint(v)); }

/// Nearest whole number, halves away from zero (the "0" display pattern: 12.5 -> 13).
inline std::int64_t roundAway(double v) noexcept { return static_cast<std::int64_t>(std::round(v)); }

/// Progress of a pixel walk: visited / total x 100, converted to whole. The total
/// is the pixel count held in single precision, as the walks hold it.
inline int progressPercent(std::int64_t visited, float total) noexcept {
    return static_cast<int>(cvWhole(static_cast<double>(visited) / static_cast<double>(total) * 100.0));
}

/// Called after each column of a pixel walk with the number of pixels visited so
/// far; returns true to stop the walk there.
using ColumnHook = std::function<bool(std::int64_t visited)>;

}  // namespace morv
