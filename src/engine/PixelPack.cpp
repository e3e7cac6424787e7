#include "engine/PixelPack.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define MORV_X86 1
#endif

namespace morv {

namespace {

bool unpackScalar(const std::uint8_t* p, std::size_t n, std::uint8_t* g) noexcept {
    std::uint8_t mixed = 0;
    for (std::size_t x = 0; x < n; ++x) {
        const std::uint8_t b = p[3 * x], gr = p[3 * x + 1], r = p[3 * x + 2];
        mixed |= std::uint8_t((b ^ gr) | (gr ^ r));
        g[x] = b;
    }
    return mixed == 0;
}

void packScalar(const std::uint8_t* g, std::size_t n, std::uint8_t* p) noexcept {
    for (std::size_t x = 0; x < n; ++x) p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = g[x];
}

#ifdef MORV_X86
// Sixteen pixels are 48 bytes in three registers; a byte shuffle per register and
// channel gathers each channel's bytes into place (-1 leaves a zero).
__attribute__((target("ssse3"))) bool unpackSsse3(const std::uint8_t* p, std::size_t n, std::uint8_t* g) noexcept {
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
        const __m128i blue = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, b0), _mm_shuffle_epi8(b, b1)), _mm_shuffle_epi8(c, b2));
        const __m128i green = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, g0), _mm_shuffle_epi8(b, g1)), _mm_shuffle_epi8(c, g2));
        const __m128i red = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, r0), _mm_shuffle_epi8(b, r1)), _mm_shuffle_epi8(c, r2));
        mixed = _mm_or_si128(mixed, _mm_or_si128(_mm_xor_si128(blue, green), _mm_xor_si128(green, red)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(g + x), blue);
    }
    const bool grey = _mm_movemask_epi8(_mm_cmpeq_epi8(mixed, _mm_setzero_si128())) == 0xFFFF;
    return unpackScalar(p, n - x, g + x) && grey;
}

__attribute__((target("ssse3"))) void packSsse3(const std::uint8_t* g, std::size_t n, std::uint8_t* p) noexcept {
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
    packScalar(g + x, n - x, p);
}

const bool kSsse3 = __builtin_cpu_supports("ssse3");
#endif

}  // namespace

bool unpackBgrToGrey(const std::uint8_t* bgr, std::size_t n, std::uint8_t* grey) noexcept {
#ifdef MORV_X86
    if (kSsse3) return unpackSsse3(bgr, n, grey);
#endif
    return unpackScalar(bgr, n, grey);
}

void packGreyToBgr(const std::uint8_t* grey, std::size_t n, std::uint8_t* bgr) noexcept {
#ifdef MORV_X86
    if (kSsse3) return packSsse3(grey, n, bgr);
#endif
    packScalar(grey, n, bgr);
}

}  // namespace morv
