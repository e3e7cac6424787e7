#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "io/ImageIO.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

TEST(LargeMaps, TheLargestAdmittedMapLoads) {
    // 16384 x 16384 as a 1-bit map keeps the file at 32 MiB; it still takes a
    // 256 MiB grey plane in memory.
    test::TempDir dir;
    const int side = 16384;
    const std::uint32_t stride = side / 8, image = stride * side, offset = 14 + 40 + 8;
    std::string bmp(offset, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + std::size_t(i)] = char((v >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B', bmp[1] = 'M', bmp[26] = 1, bmp[28] = 1;  // one plane, one bit a pixel
    // File size, pixel offset, header size, width, height, image size, two colours: black and white.
    for (auto [at, v] : {std::pair{2u, offset + image}, {10u, offset}, {14u, 40u}, {18u, std::uint32_t(side)},
                         {22u, std::uint32_t(side)}, {34u, image}, {46u, 2u}, {58u, 0xFFFFFFu}})
        put32(at, v);
    bmp.append(image, char(0x55));  // alternating black and white
    std::ofstream(dir.file("big.bmp"), std::ios::binary) << bmp;
    const auto map = loadPictureFile(dir.file("big.bmp"));
    ASSERT_EQ(map->width(), side);
    ASSERT_TRUE(map->isGrey());
    EXPECT_EQ(map->pixel(0, 0), 0);
    EXPECT_EQ(map->pixel(1, 0), 0xFFFFFF);
    EXPECT_EQ(map->pixel(side - 1, side - 1), 0xFFFFFF);
}

}  // namespace
}  // namespace morv
