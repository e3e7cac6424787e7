#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/HeightImage.h"
#include "engine/PixelBuffer.h"

namespace morv {
namespace {

TEST(HeightImageCopy, OverSameSizeReusesThePlane) {
    HeightImage a(64, 64, 1), b(64, 64, 9);
    b.setPixel(63, 63, fcnGrayColor(200));
    const std::uint8_t* before = a.grey();
    a = b;
    EXPECT_EQ(a.grey(), before);
    EXPECT_EQ(a, b);
}

TEST(HeightImageCopy, OtherSizeOrStorageTakesAFreshCopy) {
    HeightImage small(3, 2, 5), big(70, 40, 7);
    small = big;
    EXPECT_EQ(small, big);  // the sizes too

    HeightImage grey(4, 4, 3), colour(4, 4, 3);
    colour.setPixel(1, 2, 0x112233);
    grey = colour;
    EXPECT_FALSE(grey.isGrey());
    EXPECT_EQ(grey, colour);
    colour = HeightImage(4, 4, 6);  // and back to one byte a pixel
    grey = colour;
    EXPECT_TRUE(grey.isGrey());
    EXPECT_EQ(grey, colour);
}

/// Turns the keeping of freed planes on for one test and off again.
struct KeepingPlanes {
    KeepingPlanes() { PlaneMemory::keepFreedPlanes(true); }
    ~KeepingPlanes() { PlaneMemory::keepFreedPlanes(false); }
};

TEST(PlaneMemory, KeptPlaneIsReusedAndZeroedWhenAsked) {
    const KeepingPlanes keeping;
    constexpr std::size_t kBytes = std::size_t(6) << 20;  // large enough to be mapped
    void* first = nullptr;
    {
        PlaneMemory p(kBytes, false);
        std::memset(p.data(), 0xAB, kBytes);
        first = p.data();
    }
    {
        PlaneMemory zeroed(kBytes);
        EXPECT_EQ(zeroed.data(), first);
        const auto* b = static_cast<const std::uint8_t*>(zeroed.data());
        EXPECT_TRUE(std::all_of(b, b + kBytes, [](std::uint8_t v) { return v == 0; }));
        std::memset(zeroed.data(), 0xCD, kBytes);
    }
    // A plane of another size does not take it.
    PlaneMemory other(kBytes + (std::size_t(4) << 20), false);
    EXPECT_NE(other.data(), first);
    PlaneMemory again(kBytes, false);
    EXPECT_EQ(again.data(), first);
}

TEST(PlaneMemory, UnsetPictureCopiesAndPromotesLikeAnyOther) {
    HeightImage img(300, 200, HeightImage::Unset{});
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) img.setPixel(x, y, fcnGrayColor((x + y) % 256));
    const HeightImage copy = img;
    EXPECT_EQ(copy, img);
    img.setPixel(5, 5, 0x0000FF);
    EXPECT_FALSE(img.isGrey());
    EXPECT_EQ(img.pixel(299, 199), fcnGrayColor((299 + 199) % 256));
    img.setPixel(5, 5, fcnGrayColor(10));
    EXPECT_TRUE(img.demoteIfGrey());
    EXPECT_EQ(img.pixel(5, 5), fcnGrayColor(10));
    EXPECT_EQ(img.pixel(299, 199), copy.pixel(299, 199));
}

}  // namespace
}  // namespace morv
