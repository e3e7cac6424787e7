#pragma once
#include <cstddef>
#include <cstdint>

namespace morv {

/// Takes n blue-green-red pixels into n grey levels (their blue). Returns true when
/// every pixel was grey (blue = green = red); the grey bytes are written either way.
bool unpackBgrToGrey(const std::uint8_t* bgr, std::size_t n, std::uint8_t* grey) noexcept;

/// Writes n grey levels as n blue-green-red pixels.
void packGreyToBgr(const std::uint8_t* grey, std::size_t n, std::uint8_t* bgr) noexcept;

}  // namespace morv
