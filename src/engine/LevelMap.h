#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace morv {

/// Replaces every byte p[i] by lut[p[i]], with the widest byte shuffles the
/// processor offers (see pixelKernels); every way gives the same bytes.
void mapLevels(std::uint8_t* p, std::size_t n, const std::array<std::uint8_t, 256>& lut);

}  // namespace morv
