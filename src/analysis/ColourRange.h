#pragma once
#include <cstdint>
#include <vector>

#include "core/Numbers.h"
#include "engine/HeightImage.h"

namespace morv {

/// Highest and lowest grey level met so far; a fresh range is (0, 255).
struct GreyRange {
    int high = 0;
    int low = 255;
};

/// Walks the picture column by column and widens range by each column's levels
/// (strictly greater or smaller levels only). After each column the range holds
/// the extremes of the columns walked, and hook decides whether to stop.
/// Returns true when every column was walked.
bool scanGreyRange(const HeightImage& image, GreyRange& range, const ColumnHook& hook);

}  // namespace morv
