// The pixel loops, one source for every instruction set. Each PixelKernels*.cpp
// includes this file once, inside a namespace of its own, and is compiled with its
// level's flags; the plain loops are left to the vectoriser, and the few loops it
// cannot vectorise (byte shuffles, table look-ups) take the widest form the flags
// allow. Everything here has internal linkage and calls no inline function of a
// library (std::min and the like), so no copy built for one level can stand in
// for another's at link time.
//
// Expects the macros MORV_KERNEL_NAMESPACE (the namespace inside morv that holds
// this level's kPixelKernels) and MORV_KERNEL_LEVEL (its KernelLevel).
#include <cstddef>
#include <cstdint>

#include "engine/PixelKernels.h"

#if defined(__SSSE3__)
#include <immintrin.h>
#endif

namespace morv::MORV_KERNEL_NAMESPACE {

namespace {

using Byte = std::uint8_t;

inline Byte maxByte(Byte a, Byte b) { return a > b ? a : b; }
inline Byte minByte(Byte a, Byte b) { return a < b ? a : b; }

bool unpackPlain(const Byte* p, std::size_t n, Byte* g) {
    Byte mixed = 0;
    for (std::size_t x = 0; x < n; ++x) {
        const Byte b = p[3 * x], gr = p[3 * x + 1], r = p[3 * x + 2];
        mixed |= Byte((b ^ gr) | (gr ^ r));
        g[x] = b;
    }
    return mixed == 0;
}

void packPlain(const Byte* g, std::size_t n, Byte* p) {
    for (std::size_t x = 0; x < n; ++x) p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = g[x];
}

[[maybe_unused]] void mapPlain(Byte* p, std::size_t n, const Byte* lut) {
    for (std::size_t i = 0; i < n; ++i) p[i] = lut[p[i]];
}

#if defined(__SSSE3__)
// Sixteen pixels are 48 bytes in three registers; a byte shuffle per register and
// channel gathers each channel's bytes into place (-1 leaves a zero).
bool unpackBgr(const Byte* p, std::size_t n, Byte* g) {
    const __m128i b0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i b1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
    const __m128i b2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
    const __m128i g0 = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i g1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
    const __m128i g2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
    const __m128i r0 = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i r1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
    const __m128i r2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
    __m128i mixed = _mm_setzero_si128();
    std::size_t x = 0;
    for (; x + 16 <= n; x += 16, p += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i blue =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, b0), _mm_shuffle_epi8(b, b1)), _mm_shuffle_epi8(c, b2));
        const __m128i green =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, g0), _mm_shuffle_epi8(b, g1)), _mm_shuffle_epi8(c, g2));
        const __m128i red =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, r0), _mm_shuffle_epi8(b, r1)), _mm_shuffle_epi8(c, r2));
        mixed = _mm_or_si128(mixed, _mm_or_si128(_mm_xor_si128(blue, green), _mm_xor_si128(green, red)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(g + x), blue);
    }
    const bool grey = _mm_movemask_epi8(_mm_cmpeq_epi8(mixed, _mm_setzero_si128())) == 0xFFFF;
    const bool restGrey = unpackPlain(p, n - x, g + x);
    return grey && restGrey;
}

void packBgr(const Byte* g, std::size_t n, Byte* p) {
    const __m128i m0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i m1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i m2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    std::size_t x = 0;
    for (; x + 16 <= n; x += 16, p += 48) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi8(v, m0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), _mm_shuffle_epi8(v, m1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), _mm_shuffle_epi8(v, m2));
    }
    packPlain(g + x, n - x, p);
}
#else
bool unpackBgr(const Byte* p, std::size_t n, Byte* g) { return unpackPlain(p, n, g); }
void packBgr(const Byte* g, std::size_t n, Byte* p) { packPlain(g, n, p); }
#endif

#if defined(__AVX512VBMI__) && defined(__AVX512BW__)
// Two 128-entry permutes cover the table; the top bit of each byte picks between
// them. The tail is the same with masked loads and stores.
void mapLevels(Byte* p, std::size_t n, const Byte* lut) {
    const __m512i t0 = _mm512_loadu_si512(lut);
    const __m512i t1 = _mm512_loadu_si512(lut + 64);
    const __m512i t2 = _mm512_loadu_si512(lut + 128);
    const __m512i t3 = _mm512_loadu_si512(lut + 192);
    auto look = [&](__m512i v) {
        const __m512i low = _mm512_permutex2var_epi8(t0, v, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, v, t3);
        return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high);
    };
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) _mm512_storeu_si512(p + i, look(_mm512_loadu_si512(p + i)));
    if (i < n) {
        const __mmask64 rest = (__mmask64(1) << (n - i)) - 1;
        _mm512_mask_storeu_epi8(p + i, rest, look(_mm512_maskz_loadu_epi8(rest, p + i)));
    }
}
#elif defined(__AVX2__)
// Sixteen 16-entry tables, one per high nibble: each 32-byte block is looked up in
// all of them by its low nibbles and the matching high nibble picks the result.
void mapLevels(Byte* p, std::size_t n, const Byte* lut) {
    __m256i tables[16];
    for (int k = 0; k < 16; ++k)
        tables[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lut + 16 * k)));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        const __m256i lo = _mm256_and_si256(v, nibble);
        const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
        __m256i r = _mm256_setzero_si256();
        for (int k = 0; k < 16; ++k) {
            const __m256i pick = _mm256_cmpeq_epi8(hi, _mm256_set1_epi8(char(k)));
            r = _mm256_or_si256(r, _mm256_and_si256(pick, _mm256_shuffle_epi8(tables[k], lo)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), r);
    }
    mapPlain(p + i, n - i, lut);
}
#else
void mapLevels(Byte* p, std::size_t n, const Byte* lut) { mapPlain(p, n, lut); }
#endif

void widenRange(const Byte* row, std::size_t n, Byte* hi, Byte* lo) {
    for (std::size_t i = 0; i < n; ++i) {
        hi[i] = maxByte(hi[i], row[i]);
        lo[i] = minByte(lo[i], row[i]);
    }
}

void contourMask(const Byte* up, const Byte* cur, const Byte* down, Byte g, Byte* mask, std::size_t n) {
    const auto count = std::ptrdiff_t(n);
    for (std::ptrdiff_t x = 0; x < count; ++x) {
        const bool higher = (up[x] > g) | (cur[x + 1] > g) | (down[x + 1] > g) | (down[x] > g) | (up[x - 1] > g) |
                            (cur[x - 1] > g);
        mask[x] = Byte((cur[x] == g) & higher);
    }
}

// The blend rounds the exact mean of the two levels towards s: (s + d + 1) / 2
// when s >= d, (s + d) / 2 otherwise, which is blendHalf for every pair, in byte
// lanes (an average and a correction bit).
void blend(Byte* __restrict out, const Byte* __restrict s, const Byte* __restrict d, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const Byte a = s[i], b = d[i];
        const Byte up = Byte((unsigned(a) + unsigned(b) + 1u) >> 1);
        out[i] = Byte(up - Byte((a ^ b) & (a < b ? 1u : 0u)));
    }
}

void mapSamples(const std::uint16_t* samples, std::size_t n, const Byte* table, Byte* out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = table[samples[i]];
}

void sampleRange(const std::uint16_t* samples, std::size_t n, std::uint16_t* low, std::uint16_t* high) {
    // Sixteen running minima and maxima the compiler keeps in vector lanes.
    constexpr std::size_t kLanes = 16;
    std::uint16_t lo[kLanes], hi[kLanes];
    for (std::size_t k = 0; k < kLanes; ++k) {
        lo[k] = 0xFFFF;
        hi[k] = 0;
    }
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes)
        for (std::size_t k = 0; k < kLanes; ++k) {
            const std::uint16_t v = samples[i + k];
            lo[k] = v < lo[k] ? v : lo[k];
            hi[k] = v > hi[k] ? v : hi[k];
        }
    std::uint16_t l = 0xFFFF, h = 0;
    for (std::size_t k = 0; k < kLanes; ++k) {
        l = lo[k] < l ? lo[k] : l;
        h = hi[k] > h ? hi[k] : h;
    }
    for (; i < n; ++i) {
        l = samples[i] < l ? samples[i] : l;
        h = samples[i] > h ? samples[i] : h;
    }
    *low = l;
    *high = h;
}

void addWeighted(double* __restrict sums, const Byte* __restrict levels, double weight, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) sums[i] += weight * double(levels[i]);
}

}  // namespace

extern const PixelKernels kPixelKernels;
const PixelKernels kPixelKernels{MORV_KERNEL_LEVEL, unpackBgr,  packBgr,     mapLevels,  widenRange,
                                 contourMask,       blend,      mapSamples,  sampleRange, addWeighted};

}  // namespace morv::MORV_KERNEL_NAMESPACE
