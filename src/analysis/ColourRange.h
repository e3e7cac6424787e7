#pragma once
#include <cstdint>
#include <vector>

#include "core/Numbers.h"
#include "engine/HeightImage.h"

namespace morv {

class Host;

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

/// Get High/Low Colors: scans the height display and records the highest and lowest
/// grey level in gintCurHighColor and gintCurLowColor, and when run for opening
/// (gblnOpening) and not cancelled also in gintHighColor and gintLowColor. Takes
/// the interface only when no other operation holds it.
void cmdGetHighLowColor_Click(Host& host);

}  // namespace morv
