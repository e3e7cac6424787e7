#include "io/Thumbnail.h"

#include <gtest/gtest.h>

#include <fstream>

#include "io/ImageIO.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

TEST(Thumbnail, FitsTheMapKeepingItsShape) {
    struct Case {
        int w, h, fitW, fitH;
    };
    // The side that does not fill is rounded down and kept at one pixel at least.
    for (const Case c : {Case{300, 100, 240, 80}, Case{100, 300, 60, 180}, Case{576, 144, 240, 60},
                         Case{4, 4, 180, 180}, Case{241, 180, 240, 179}, Case{10000, 1, 240, 1}}) {
        const auto [w, h] = fittedSize(c.w, c.h, 240, 180);
        EXPECT_EQ(w, c.fitW) << c.w << " x " << c.h;
        EXPECT_EQ(h, c.fitH) << c.w << " x " << c.h;
    }
}

TEST(Thumbnail, AveragesTheAreaEachPixelCovers) {
    // Three pixels into two: each covers one and a half, the middle one shared.
    HeightImage row(3, 1);
    for (int x = 0; x < 3; ++x) row.setPixel(x, 0, fcnGrayColor(std::array{0, 90, 255}[x]));
    const RgbPicture t = thumbnailOf(row, 2, 2);
    const std::vector<std::uint8_t> expected{30, 30, 30, 200, 200, 200, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(t.rgb, expected) << "(0 + 45) / 1.5 and (45 + 255) / 1.5 on the top row, black below";

    // Half a level rounds up; colour keeps its channels in red, green, blue order.
    HeightImage pair(2, 1);
    pair.setPixel(0, 0, 0x1E140A);
    pair.setPixel(1, 0, 0x1F150B);
    EXPECT_EQ(thumbnailOf(pair, 1, 1).rgb, (std::vector<std::uint8_t>{11, 21, 31}));

    // A small map is enlarged and centred: 2 x 1 fills 4 x 2 of a 4 x 4 picture.
    HeightImage two(2, 1);
    two.setPixel(1, 0, fcnGrayColor(100));
    const RgbPicture big = thumbnailOf(two, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(big.rgb[std::size_t(y * 4 + x) * 3], (y == 1 || y == 2) && x >= 2 ? 100 : 0) << x << "," << y;
}

TEST(Thumbnail, WritesAJpegTheReaderTakes) {
    test::TempDir dir;
    const RgbPicture flat{24, 16, std::vector<std::uint8_t>(24 * 16 * 3, 127)};
    const std::string bytes = encodeJpeg(flat, 90);
    EXPECT_EQ(bytes.substr(0, 4), "\xFF\xD8\xFF\xE0");
    std::ofstream(dir.file("t.jpg"), std::ios::binary) << bytes;
    const LoadedPicture read = loadPicture(dir.file("t.jpg"));
    EXPECT_EQ(read.type, PictureFileType::Jpeg);
    EXPECT_EQ(read.image->width(), 24);
    EXPECT_EQ(read.image->height(), 16);
    EXPECT_EQ(*read.image, HeightImage(24, 16, 127));
}

}  // namespace
}  // namespace morv
