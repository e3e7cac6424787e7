#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/HeightImage.h"

namespace morv {

/// A small colour picture: width x height pixels, three bytes (red, green, blue)
/// each, rows top to bottom.
struct RgbPicture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

/// The size image takes when scaled to fit inside width x height keeping its
/// shape: the full height when the scaled width fits, otherwise the full width;
/// the other side rounded down, never below one pixel.
std::pair<int, int> fittedSize(int imageWidth, int imageHeight, int width, int height);

/// image scaled to fit inside width x height (fittedSize) and centred on black.
/// Each thumbnail pixel is the average of the map area it covers, every map pixel
/// weighed by the share of it that falls inside, rounded to the nearest level;
/// enlarging a small map repeats its pixels, blending at their borders. Throws
/// std::bad_alloc.
RgbPicture thumbnailOf(const HeightImage& image, int width, int height);

/// picture as a baseline JPEG file's bytes at quality 1..100 (JFIF, 100 dots an
/// inch). Throws std::runtime_error with libjpeg's message when it cannot encode.
std::string encodeJpeg(const RgbPicture& picture, int quality);

}  // namespace morv
