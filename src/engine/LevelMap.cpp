#include "engine/LevelMap.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MORV_X86 1
#endif

namespace morv {

namespace {

void mapScalar(std::uint8_t* p, std::size_t n, const std::uint8_t* lut) {
    for (std::size_t i = 0; i < n; ++i) p[i] = lut[p[i]];
}

#ifdef MORV_X86
// Sixteen 16-entry tables, one per high nibble: each 32-byte block is looked up in
// all of them by its low nibbles and the matching high nibble picks the result.
__attribute__((target("avx2"))) void mapAvx2(std::uint8_t* p, std::size_t n, const std::uint8_t* lut) {
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
    mapScalar(p + i, n - i, lut);
}

// Two 128-entry permutes cover the table; the top bit of each byte picks between them.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void mapVbmi(std::uint8_t* p, std::size_t n,
                                                                     const std::uint8_t* lut) {
    const __m512i t0 = _mm512_loadu_si512(lut);
    const __m512i t1 = _mm512_loadu_si512(lut + 64);
    const __m512i t2 = _mm512_loadu_si512(lut + 128);
    const __m512i t3 = _mm512_loadu_si512(lut + 192);
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i v = _mm512_loadu_si512(p + i);
        const __m512i low = _mm512_permutex2var_epi8(t0, v, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, v, t3);
        const __mmask64 top = _mm512_movepi8_mask(v);
        _mm512_storeu_si512(p + i, _mm512_mask_blend_epi8(top, low, high));
    }
    if (i < n) {
        const __mmask64 rest = (n - i) == 64 ? ~__mmask64(0) : ((__mmask64(1) << (n - i)) - 1);
        const __m512i v = _mm512_maskz_loadu_epi8(rest, p + i);
        const __m512i low = _mm512_permutex2var_epi8(t0, v, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, v, t3);
        _mm512_mask_storeu_epi8(p + i, rest, _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high));
    }
}
#endif

LevelMapKind bestKind() {
#ifdef MORV_X86
    if (levelMapSupported(LevelMapKind::Avx512Vbmi)) return LevelMapKind::Avx512Vbmi;
    if (levelMapSupported(LevelMapKind::Avx2)) return LevelMapKind::Avx2;
#endif
    return LevelMapKind::Scalar;
}

}  // namespace

bool levelMapSupported(LevelMapKind kind) {
    switch (kind) {
    case LevelMapKind::Scalar: return true;
#ifdef MORV_X86
    case LevelMapKind::Avx2: return __builtin_cpu_supports("avx2");
    case LevelMapKind::Avx512Vbmi:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
#else
    default: return false;
#endif
    }
    return false;
}

void mapLevelsWith(LevelMapKind kind, std::uint8_t* p, std::size_t n, const std::array<std::uint8_t, 256>& lut) {
    switch (kind) {
#ifdef MORV_X86
    case LevelMapKind::Avx2: mapAvx2(p, n, lut.data()); return;
    case LevelMapKind::Avx512Vbmi: mapVbmi(p, n, lut.data()); return;
#endif
    default: mapScalar(p, n, lut.data()); return;
    }
}

void mapLevels(std::uint8_t* p, std::size_t n, const std::array<std::uint8_t, 256>& lut) {
    static const LevelMapKind kind = bestKind();
    mapLevelsWith(kind, p, n, lut);
}

}  // namespace morv
