#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "engine/HeightImage.h"

namespace morv {

/// The half-strength blend of a neighbour s into a pixel d, one 8-bit channel:
/// s x 128/255 + d x 127/255 rounded to the nearest level, in 16-bit arithmetic.
constexpr std::uint8_t blendHalf(std::uint8_t s, std::uint8_t d) noexcept {
    const unsigned t = unsigned(s) * 128u + unsigned(d) * 127u + 128u;
    return std::uint8_t((t + (t >> 8)) >> 8);
}

/// How blurPicture spreads its work; the result is the same for every choice.
struct BlurOptions {
    /// Worker bands per pass; 0 takes one per processor core.
    int threads = 0;
    /// Stops computing once an iteration changes nothing (every later one would
    /// change nothing either); the remaining iterations are still reported.
    bool stopWhenSettled = true;
};

/// Blurs a picture by amount iterations. Each iteration blends every pixel with its
/// neighbour in eight passes, right, left, below, above, below right, above left,
/// above right, below left; every pass works on the previous pass's result, and a
/// pixel whose neighbour lies outside keeps its value. Grey pictures blur their one
/// byte a pixel, colour pictures each channel. afterIteration (may be empty) runs
/// on the calling thread after each iteration with its index 0..amount-1.
/// Throws std::bad_alloc before any pixel changes when the work memory is missing.
void blurPicture(HeightImage& image, int amount, const std::function<void(int iteration)>& afterIteration,
                 const BlurOptions& options = {});

}  // namespace morv
