#include <gtest/gtest.h>

#include <vector>

#include "engine/PixelPack.h"

namespace morv {
namespace {

TEST(PixelPack, GreyRoundTripAndAnyColouredChannelIsSeen) {
    for (std::size_t n : {0u, 1u, 15u, 16u, 17u, 47u, 100u}) {
        std::vector<std::uint8_t> grey(n), bgr(3 * n), back(n);
        for (std::size_t i = 0; i < n; ++i) grey[i] = std::uint8_t(i * 29 + 3);
        packGreyToBgr(grey.data(), n, bgr.data());
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_EQ(bgr[3 * i], grey[i]) << i;
            ASSERT_EQ(bgr[3 * i + 1], grey[i]) << i;
            ASSERT_EQ(bgr[3 * i + 2], grey[i]) << i;
        }
        EXPECT_TRUE(unpackBgrToGrey(bgr.data(), n, back.data()));
        EXPECT_EQ(back, grey);
        // One channel of one pixel off by one, in the vector part and in the tail.
        for (std::size_t at = 0; at < 3 * n; at += 7) {
            std::vector<std::uint8_t> odd = bgr;
            odd[at] ^= 1;
            EXPECT_FALSE(unpackBgrToGrey(odd.data(), n, back.data())) << n << " " << at;
            EXPECT_EQ(back[at / 3], odd[at / 3 * 3]) << "the blue is kept";
        }
    }
}

}  // namespace
}  // namespace morv
