#pragma once
#include <cstdint>

#include "core/Numbers.h"
#include "engine/HeightImage.h"

namespace morv {

/// Running totals of the levels under the contour image's pure-black pixels.
struct ContourSum {
    std::int64_t sum = 0;
    std::int64_t count = 0;
    /// The average level rounded half to even; 0 when no black pixel was found.
    int average() const;
};

/// Adds up, column by column, the height picture's levels at the positions where
/// the contour picture is exactly black (colour 0). A contour picture of another
/// size is read at the same coordinates, outside reading as not black. hook is
/// asked after each column; returns false when it stopped the walk.
bool sumUnderContours(const HeightImage& height, const HeightImage& contour, ContourSum& total, const ColumnHook& hook);

}  // namespace morv
