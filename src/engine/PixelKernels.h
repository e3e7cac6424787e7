#pragma once
#include <cstddef>
#include <cstdint>

namespace morv {

/// The instruction sets the pixel loops are built for. Every loop has one source,
/// compiled once per level; all levels give the same bytes.
enum class KernelLevel {
    Generic,  ///< Any x86-64 (SSE2), or any other processor.
    X86v2,    ///< SSSE3 up to SSE4.2.
    Avx2,     ///< AVX2, FMA and BMI (x86-64-v3).
    Avx512,   ///< AVX-512 F, BW, CD, DQ, VL and VBMI.
};

/// The loops that carry the time of a redraw and of reading and writing pictures,
/// as built for one level. Byte arguments never overlap unless stated.
struct PixelKernels {
    KernelLevel level;
    /// grey[i] := blue of the blue-green-red pixel i; true when every pixel had
    /// blue = green = red (the grey bytes are written either way).
    bool (*unpackBgr)(const std::uint8_t* bgr, std::size_t n, std::uint8_t* grey);
    /// Writes n grey levels as n blue-green-red pixels.
    void (*packBgr)(const std::uint8_t* grey, std::size_t n, std::uint8_t* bgr);
    /// p[i] := lut[p[i]], in place; lut has 256 entries.
    void (*mapLevels)(std::uint8_t* p, std::size_t n, const std::uint8_t* lut);
    /// hi[i] := max(hi[i], row[i]); lo[i] := min(lo[i], row[i]).
    void (*widenRange)(const std::uint8_t* row, std::size_t n, std::uint8_t* hi, std::uint8_t* lo);
    /// mask[i] := 1 where cur[i] == g and one of up[i], cur[i + 1], down[i + 1],
    /// down[i], up[i - 1], cur[i - 1] is greater than g; else 0. The rows must hold
    /// the pixels at i - 1 and i + 1 (the caller keeps the picture's edges out).
    void (*contourMask)(const std::uint8_t* up, const std::uint8_t* cur, const std::uint8_t* down, std::uint8_t g,
                        std::uint8_t* mask, std::size_t n);
    /// out[i] := the half-strength blend of s[i] into d[i] (see blendHalf).
    void (*blend)(std::uint8_t* out, const std::uint8_t* s, const std::uint8_t* d, std::size_t n);
    /// out[i] := table[samples[i]]; table has 65536 entries.
    void (*mapSamples)(const std::uint16_t* samples, std::size_t n, const std::uint8_t* table, std::uint8_t* out);
    /// The lowest (first) and highest (second) of n > 0 samples.
    void (*sampleRange)(const std::uint16_t* samples, std::size_t n, std::uint16_t* low, std::uint16_t* high);
    /// sums[i] := sums[i] + weight x levels[i], each rounded to double as written
    /// (never fused), so every level gives the same sums.
    void (*addWeighted)(double* sums, const std::uint8_t* levels, double weight, std::size_t n);
};

/// The loops for the best level this build holds and this processor runs, chosen
/// once, on first use.
const PixelKernels& pixelKernels() noexcept;

/// The loops built for level, or null when this build lacks them or this
/// processor cannot run them. For tests and benchmarks that compare the levels.
const PixelKernels* pixelKernelsFor(KernelLevel level) noexcept;

/// A short name of a level: "generic", "x86-64-v2", "avx2", "avx512".
const char* kernelLevelName(KernelLevel level) noexcept;

}  // namespace morv
