#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace morv {

/// Replaces every byte p[i] by lut[p[i]]. Uses the widest byte shuffles the
/// processor offers (picked once at run time); every way gives the same bytes.
void mapLevels(std::uint8_t* p, std::size_t n, const std::array<std::uint8_t, 256>& lut);

/// The ways mapLevels can work, for tests that compare them.
enum class LevelMapKind { Scalar, Avx2, Avx512Vbmi };
bool levelMapSupported(LevelMapKind kind);
void mapLevelsWith(LevelMapKind kind, std::uint8_t* p, std::size_t n, const std::array<std::uint8_t, 256>& lut);

}  // namespace morv
