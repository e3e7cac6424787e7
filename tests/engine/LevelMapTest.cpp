#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/LevelMap.h"

namespace morv {
namespace {

TEST(LevelMap, EveryWayGivesTheSameBytes) {
    std::mt19937 rng(7);
    std::array<std::uint8_t, 256> lut{};
    for (auto& v : lut) v = std::uint8_t(rng());
    // Lengths around the vector widths, so tails and whole blocks are both met.
    for (std::size_t n : {0u, 1u, 31u, 32u, 33u, 63u, 64u, 65u, 200u, 4099u}) {
        std::vector<std::uint8_t> data(n);
        for (std::size_t i = 0; i < n; ++i) data[i] = std::uint8_t(i * 37 + rng());
        std::vector<std::uint8_t> expected = data;
        for (auto& b : expected) b = lut[b];
        for (LevelMapKind kind : {LevelMapKind::Scalar, LevelMapKind::Avx2, LevelMapKind::Avx512Vbmi}) {
            if (!levelMapSupported(kind)) continue;
            std::vector<std::uint8_t> got = data;
            mapLevelsWith(kind, got.data(), n, lut);
            EXPECT_EQ(got, expected) << "kind " << int(kind) << ", length " << n;
        }
        std::vector<std::uint8_t> got = data;
        mapLevels(got.data(), n, lut);
        EXPECT_EQ(got, expected);
    }
}

}  // namespace
}  // namespace morv
