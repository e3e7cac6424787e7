#pragma once
#include <cstdint>
#include <optional>

#include "engine/HeightImage.h"
#include "engine/SampleLevels.h"

namespace morv {

/// What a reader is told beyond the file: the samples a 16-bit grey map's 256
/// levels cover (nothing: the map's own lowest to highest).
struct LevelOptions {
    std::optional<SampleRange> levels;
};

/// A decoded picture and, for samples wider than 8 bits, how they became levels.
struct DecodedPicture {
    HeightImage image;
    std::optional<LevelMapping> mapping;
};

/// Stores one row of 8-bit red, green, blue triples (stride bytes a pixel) at row y
/// of image: the picture stays grey until the first pixel that is not, then it is
/// promoted to colour storage.
void storeRgbRow(HeightImage& image, int y, const std::uint8_t* rgb, int stride);

/// Maps a plane of 16-bit grey samples to image's levels (image is grey, of the
/// same size) by the chosen range or the samples' own, and says how.
LevelMapping storeDeepGrey(HeightImage& image, const std::uint16_t* samples, const LevelOptions& options);

}  // namespace morv
