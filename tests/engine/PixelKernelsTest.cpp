#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "analysis/Blur.h"
#include "engine/PixelKernels.h"

namespace morv {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Row lengths on both sides of the 16-, 32- and 64-byte vector widths, so a wrong
// tail or a block that reads one pixel too far shows on any machine.
constexpr std::size_t kLengths[] = {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 200};

/// Every level this build holds and this processor runs; generic always.
std::vector<const PixelKernels*> levels() {
    std::vector<const PixelKernels*> out;
    for (KernelLevel l : {KernelLevel::Generic, KernelLevel::X86v2, KernelLevel::Avx2, KernelLevel::Avx512})
        if (const PixelKernels* k = pixelKernelsFor(l)) out.push_back(k);
    return out;
}

std::string where(const PixelKernels* k, std::size_t n) {
    return std::string(kernelLevelName(k->level)) + ", " + std::to_string(n) + " pixels";
}

Bytes randomBytes(std::mt19937& rng, std::size_t n, int lo = 0, int hi = 255) {
    std::uniform_int_distribution<int> d(lo, hi);
    Bytes b(n);
    for (auto& v : b) v = std::uint8_t(d(rng));
    return b;
}

TEST(PixelKernels, ChosenLevelIsTheBestOneAvailable) {
    const auto all = levels();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front()->level, KernelLevel::Generic);
    EXPECT_EQ(pixelKernels().level, all.back()->level);
    EXPECT_EQ(pixelKernelsFor(pixelKernels().level), &pixelKernels());
}

TEST(PixelKernels, UnpackKeepsBlueAndSeesAnyColour) {
    std::mt19937 rng(1);
    for (const PixelKernels* k : levels())
        for (std::size_t n : kLengths) {
            const Bytes grey = randomBytes(rng, n);
            Bytes bgr(3 * n);
            for (std::size_t i = 0; i < n; ++i) bgr[3 * i] = bgr[3 * i + 1] = bgr[3 * i + 2] = grey[i];
            Bytes out(n + 1, 0xA5);
            EXPECT_TRUE(k->unpackBgr(bgr.data(), n, out.data())) << where(k, n);
            EXPECT_TRUE(std::equal(grey.begin(), grey.end(), out.begin())) << where(k, n);
            EXPECT_EQ(out[n], 0xA5) << "wrote past the row, " << where(k, n);
            // One channel off by one: first pixel, last of the vector blocks, the tail.
            for (std::size_t at : {std::size_t(1), 3 * (n / 16 * 16) - 1, 3 * n - 1}) {
                if (n == 0 || at >= 3 * n) continue;
                Bytes odd = bgr;
                odd[at] ^= 1;
                EXPECT_FALSE(k->unpackBgr(odd.data(), n, out.data())) << where(k, n) << ", byte " << at;
                EXPECT_EQ(out[at / 3], odd[at / 3 * 3]) << where(k, n);
            }
        }
}

TEST(PixelKernels, PackWritesThreeEqualChannels) {
    std::mt19937 rng(2);
    for (const PixelKernels* k : levels())
        for (std::size_t n : kLengths) {
            const Bytes grey = randomBytes(rng, n);
            Bytes bgr(3 * n + 1, 0xA5), expected = bgr;  // the last byte shows a write past the row
            for (std::size_t i = 0; i < 3 * n; ++i) expected[i] = grey[i / 3];
            k->packBgr(grey.data(), n, bgr.data());
            EXPECT_EQ(bgr, expected) << where(k, n);
        }
}

TEST(PixelKernels, MapLevelsLooksEveryByteUp) {
    std::mt19937 rng(3);
    const Bytes lut = randomBytes(rng, 256, 1, 255);  // lut[0] differs from 0, so a write past the end shows
    for (const PixelKernels* k : levels())
        for (std::size_t n : kLengths) {
            Bytes data = randomBytes(rng, n + 1);
            data[n] = 0;
            Bytes expected = data;
            for (std::size_t i = 0; i < n; ++i) expected[i] = lut[expected[i]];
            k->mapLevels(data.data(), n, lut.data());
            EXPECT_EQ(data, expected) << where(k, n);
        }
}

TEST(PixelKernels, WidenRangeTakesHighestAndLowest) {
    std::mt19937 rng(4);
    for (const PixelKernels* k : levels())
        for (std::size_t n : kLengths) {
            Bytes hi = randomBytes(rng, n), lo = randomBytes(rng, n);
            const Bytes row = randomBytes(rng, n);
            Bytes wantHi(n), wantLo(n);
            std::transform(hi.begin(), hi.end(), row.begin(), wantHi.begin(), [](auto a, auto b) { return std::max(a, b); });
            std::transform(lo.begin(), lo.end(), row.begin(), wantLo.begin(), [](auto a, auto b) { return std::min(a, b); });
            k->widenRange(row.data(), n, hi.data(), lo.data());
            EXPECT_EQ(hi, wantHi) << where(k, n);
            EXPECT_EQ(lo, wantLo) << where(k, n);
        }
}

TEST(PixelKernels, ContourMaskFollowsTheSixNeighbourRule) {
    std::mt19937 rng(5);
    const std::uint8_t g = 128;
    for (const PixelKernels* k : levels())
        for (std::size_t n : kLengths)
            for (int round = 0; round < 20; ++round) {
                // Levels around the ground, a pixel on each side of the span.
                const Bytes up = randomBytes(rng, n + 2, 127, 129), cur = randomBytes(rng, n + 2, 127, 128),
                            down = randomBytes(rng, n + 2, 127, 129);
                Bytes expected(n + 1, 0x77), mask(n + 1, 0x77);
                for (std::size_t x = 1; x <= n; ++x) {
                    const bool higher = up[x] > g || cur[x + 1] > g || down[x + 1] > g || down[x] > g ||
                                        up[x - 1] > g || cur[x - 1] > g;
                    expected[x - 1] = cur[x] == g && higher ? 1 : 0;
                }
                k->contourMask(up.data() + 1, cur.data() + 1, down.data() + 1, g, mask.data(), n);
                ASSERT_EQ(mask, expected) << where(k, n);
            }
}

TEST(PixelKernels, BlendMatchesTheHalfStrengthFormula) {
    for (const PixelKernels* k : levels()) {
        // Every pair of levels, in rows of 256 so each length meets whole blocks.
        for (int s = 0; s < 256; ++s) {
            Bytes src(256, std::uint8_t(s)), dst(256), out(256), expected(256);
            for (int d = 0; d < 256; ++d) {
                dst[std::size_t(d)] = std::uint8_t(d);
                expected[std::size_t(d)] = blendHalf(std::uint8_t(s), std::uint8_t(d));
            }
            k->blend(out.data(), src.data(), dst.data(), 256);
            ASSERT_EQ(out, expected) << kernelLevelName(k->level) << ", s = " << s;
        }
        std::mt19937 rng(6);
        for (std::size_t n : kLengths) {
            const Bytes s = randomBytes(rng, n), d = randomBytes(rng, n);
            Bytes out(n + 1, 0xA5), expected(n + 1, 0xA5);
            for (std::size_t i = 0; i < n; ++i) expected[i] = blendHalf(s[i], d[i]);
            k->blend(out.data(), s.data(), d.data(), n);
            EXPECT_EQ(out, expected) << where(k, n);
        }
    }
}

TEST(PixelKernels, SamplesMapThroughTheTableAndFindTheirRange) {
    std::mt19937 rng(7);
    const Bytes table = randomBytes(rng, 65536);
    std::uniform_int_distribution<int> sample(0, 65535);
    for (const PixelKernels* k : levels())
        for (std::size_t n : kLengths) {
            if (n == 0) continue;
            std::vector<std::uint16_t> samples(n);
            for (auto& v : samples) v = std::uint16_t(sample(rng));
            // The extremes sit in the last pixel, where only the tail sees them.
            samples[n - 1] = n % 2 ? 65535 : 0;
            Bytes out(n + 1, 0xA5), expected(n + 1, 0xA5);
            for (std::size_t i = 0; i < n; ++i) expected[i] = table[samples[i]];
            k->mapSamples(samples.data(), n, table.data(), out.data());
            EXPECT_EQ(out, expected) << where(k, n);
            std::uint16_t low = 1, high = 1;
            k->sampleRange(samples.data(), n, &low, &high);
            EXPECT_EQ(low, *std::min_element(samples.begin(), samples.end())) << where(k, n);
            EXPECT_EQ(high, *std::max_element(samples.begin(), samples.end())) << where(k, n);
        }
}

TEST(PixelKernels, WeightedSumsRoundAsWrittenInEveryLevel) {
    std::mt19937 rng(8);
    std::uniform_real_distribution<double> start(0.0, 300.0);
    for (const PixelKernels* k : levels())
        for (double weight : {1.0 / 3.0, 0.7071067811865476, 0.1}) {
            for (std::size_t n : kLengths) {
                std::vector<double> sums(n + 1);
                for (auto& v : sums) v = start(rng);
                const Bytes levels = randomBytes(rng, n);
                std::vector<double> expected = sums;
                for (std::size_t i = 0; i < n; ++i) {
                    const volatile double product = weight * double(levels[i]);  // rounded, never fused
                    expected[i] = sums[i] + product;
                }
                k->addWeighted(sums.data(), levels.data(), weight, n);
                EXPECT_EQ(sums, expected) << where(k, n) << ", weight " << weight;
            }
        }
}

}  // namespace
}  // namespace morv
