#include "engine/SampleLevels.h"

#include <gtest/gtest.h>

#include <vector>

namespace morv {
namespace {

// Cases where truncating, or scaling by 256 instead of 255, gives another level.
TEST(SampleLevels, MapsToNearestLevelAtTheEndsAndInTheMiddle) {
    struct Case { std::uint32_t v, low, high; int level; };
    const Case cases[] = {
        {0, 0, 65535, 0},        {65535, 0, 65535, 255},  {32768, 0, 65535, 128}, {129, 0, 65535, 1},
        {128, 0, 65535, 0},      {999, 1000, 2000, 0},    {1000, 1000, 2000, 0},  {1002, 1000, 2000, 1},
        {1500, 1000, 2000, 128}, {1998, 1000, 2000, 254}, {2000, 1000, 2000, 255}, {40000, 1000, 2000, 255},
        {7, 7, 7, 0},            {8, 7, 7, 255},
    };
    for (const auto& c : cases)
        EXPECT_EQ(levelOfSample(c.v, {c.low, c.high}), c.level) << c.v << " in " << c.low << ".." << c.high;
}

TEST(SampleLevels, MapsAPlaneByItsOwnRangeOrAChosenOne) {
    const std::vector<std::uint16_t> samples = {300, 1300, 800, 555, 1299, 301, 1300, 300, 299 + 1000, 420, 1000,
                                                300, 1300, 900, 700, 600, 500};
    EXPECT_EQ(sampleRangeOf(samples.data(), samples.size()), (SampleRange{300, 1300}));
    std::vector<std::uint8_t> out(samples.size());
    mapSamplesToLevels(samples.data(), samples.size(), {300, 1300}, out.data());
    // 127.5 rounds up; 65.025.
    EXPECT_EQ(std::vector(out.begin(), out.begin() + 4), (std::vector<std::uint8_t>{0, 255, 128, 65}));
    mapSamplesToLevels(samples.data(), samples.size(), {500, 900}, out.data());
    // 191.25; below the range.
    EXPECT_EQ(std::vector(out.begin(), out.begin() + 4), (std::vector<std::uint8_t>{0, 255, 191, 35}));
    EXPECT_EQ(out[9], 0);
}

TEST(SampleLevels, ReadsOnlyWellFormedRanges) {
    EXPECT_EQ(parseSampleRange("1000:2000"), (SampleRange{1000, 2000}));
    EXPECT_EQ(parseSampleRange("0:65535"), (SampleRange{0, 65535}));
    for (const char* bad : {"2000:1000", "5:5", "0:65536", "a:3", "10:", ":10", "10", "-1:5", "1:2:3", " 1:2"})
        EXPECT_FALSE(parseSampleRange(bad)) << bad;
}

}  // namespace
}  // namespace morv
