#pragma once
#include "core/Numbers.h"
#include "engine/HeightImage.h"

namespace morv {

/// Draws the contour of height into contour, a picture of the same size: every pixel
/// whose colour equals ground and of whose neighbours above, right, below right,
/// below, above left or left at least one has a greater colour becomes black. The
/// two other diagonal neighbours are not examined; neighbours outside the picture
/// never count. Only height is read, so contour may hold anything beforehand (it is
/// a copy of height when the command runs). Walks the columns in strips and asks
/// hook after each column; returns true when every column was walked.
/// Throws std::invalid_argument when the sizes differ.
bool markContours(const HeightImage& height, Colour ground, HeightImage& contour, const ColumnHook& hook);

/// The contour picture of height at the ground colour: a copy of height with its
/// contour drawn black.
HeightImage contourPicture(const HeightImage& height, Colour ground);

}  // namespace morv
