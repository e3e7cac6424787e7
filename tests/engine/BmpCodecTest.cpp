#include "engine/BmpCodec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <functional>
#include <random>

#include "core/RuntimeError.h"

namespace morv {
namespace {

void poke(std::string& s, std::size_t at, std::uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) s[at + std::size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

/// A BMP file put together field by field.
struct BmpFile {
    int headerSize = 40, width = 1, height = 1, bitCount = 24, planes = 1;
    std::uint32_t compression = 0, coloursUsed = 0;
    std::vector<Colour> palette;
    std::vector<std::uint32_t> masks;  // after a 40-byte header, else inside the header
    std::string pixels;

    std::string bytes() const {
        std::string h(std::size_t(headerSize), '\0'), tables;
        poke(h, 0, std::uint32_t(headerSize));
        if (headerSize == 12) {
            poke(h, 4, std::uint32_t(width), 2), poke(h, 6, std::uint32_t(height), 2);
            poke(h, 8, std::uint32_t(planes), 2), poke(h, 10, std::uint32_t(bitCount), 2);
        } else {
            poke(h, 4, std::uint32_t(width)), poke(h, 8, std::uint32_t(height));
            poke(h, 12, std::uint32_t(planes), 2), poke(h, 14, std::uint32_t(bitCount), 2);
            poke(h, 16, compression), poke(h, 20, std::uint32_t(pixels.size())), poke(h, 32, coloursUsed ? coloursUsed : std::uint32_t(palette.size()));
        }
        for (std::size_t i = 0; i < masks.size(); ++i) {
            if (headerSize == 40) tables += std::string(4, '\0'), poke(tables, tables.size() - 4, masks[i]);
            else poke(h, 40 + 4 * i, masks[i]);
        }
        for (Colour c : palette) {
            tables += char(c >> 16), tables += char(c >> 8), tables += char(c);
            if (headerSize != 12) tables += '\0';
        }
        std::string f(14, '\0');
        f[0] = 'B', f[1] = 'M';
        poke(f, 10, std::uint32_t(14 + h.size() + tables.size()));
        poke(f, 2, std::uint32_t(f.size() + h.size() + tables.size() + pixels.size()));
        return f + h + tables + pixels;
    }
};

/// Rows of pixel values (in file order) packed at bitCount bits, each row padded to 4 bytes.
std::string packRows(int bitCount, const std::vector<std::vector<std::uint32_t>>& rows) {
    std::string out;
    for (const auto& row : rows) {
        std::string r((row.size() * std::size_t(bitCount) + 31) / 32 * 4, '\0');
        for (std::size_t x = 0; x < row.size(); ++x) {
            if (bitCount < 8) {
                const std::size_t bit = x * std::size_t(bitCount);
                r[bit / 8] = char(r[bit / 8] | (row[x] << (8 - bitCount - bit % 8)));
            } else if (bitCount == 24) {
                poke(r, 3 * x, ((row[x] & 0xFF) << 16) | (row[x] & 0xFF00) | ((row[x] >> 16) & 0xFF), 3);
            } else {
                poke(r, x * std::size_t(bitCount / 8), row[x], bitCount / 8);
            }
        }
        out += r;
    }
    return out;
}

/// Colours as the pixel values packRows takes.
std::vector<std::uint32_t> px(std::initializer_list<Colour> colours) { return {colours.begin(), colours.end()}; }

HeightImage decode(const std::string& bytes, std::uint64_t budget = std::uint64_t(1) << 40) {
    MemorySource src({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    return decodeBmp(src, "t.bmp", budget);
}

std::string encode(const HeightImage& image) {
    std::string out;
    writeBmp24(image, [&out](const void* d, std::size_t n) { out.append(static_cast<const char*>(d), n); });
    return out;
}

std::vector<std::vector<Colour>> pixelsOf(const HeightImage& img) {
    std::vector<std::vector<Colour>> out(std::size_t(img.height()), std::vector<Colour>(std::size_t(img.width())));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) out[std::size_t(y)][std::size_t(x)] = img.pixel(x, y);
    return out;
}

constexpr Colour kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;
Colour grey(int level) { return fcnGrayColor(level); }

TEST(BmpWriter, WritesExactBottomUpBgrBytesWithPadding) {
    HeightImage img(1, 2);
    img.setPixel(0, 0, 0x332211);  // top row: R 11, G 22, B 33
    img.setPixel(0, 1, grey(7));
    const std::string b = encode(img);
    const std::string expected = std::string("BM") + std::string("\x3e\0\0\0" "\0\0\0\0" "\x36\0\0\0", 12) +
                                 std::string("\x28\0\0\0" "\1\0\0\0" "\2\0\0\0" "\1\0" "\x18\0" "\0\0\0\0"
                                             "\x08\0\0\0" "\x13\x0b\0\0" "\x13\x0b\0\0" "\0\0\0\0" "\0\0\0\0", 40) +
                                 std::string("\7\7\7\0" "\x33\x22\x11\0", 8);
    EXPECT_EQ(b, expected);
    EXPECT_EQ(bmp24FileSize(1, 2), b.size());
}

TEST(BmpCodec, RoundTripsGreyAndColourPicturesOfOddWidths) {
    std::mt19937 rng(7);
    for (int w : {1, 2, 3, 5, 7, 130}) {
        HeightImage g(w, 3), c(w, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) {
                g.setPixel(x, y, grey(int(rng() % 256)));
                c.setPixel(x, y, Colour(rng() & 0xFFFFFF));
            }
        c.setPixel(0, 0, kRed);
        const HeightImage g2 = decode(encode(g)), c2 = decode(encode(c));
        EXPECT_TRUE(g2.isGrey()) << w;
        EXPECT_FALSE(c2.isGrey()) << w;
        EXPECT_EQ(g2, g) << w;
        EXPECT_EQ(c2, c) << w;
    }
}

TEST(BmpReader, PalettedPicturesMapThroughTheirPalette) {
    std::vector<Colour> reversed(256);
    for (int i = 0; i < 256; ++i) reversed[std::size_t(i)] = grey(255 - i);
    struct Case {
        const char* name;
        int headerSize, bitCount;
        std::vector<Colour> palette;
        std::vector<std::vector<std::uint32_t>> rows;  // file order: bottom row first
    };
    const Case cases[] = {
        {"1-bit grey", 40, 1, {grey(10), grey(200)}, {{1, 0, 1, 1, 0, 0, 0, 0, 1}, {0, 1, 1, 0, 0, 1, 0, 1, 0}}},
        {"1-bit colour", 40, 1, {kRed, kBlue}, {{1, 0, 1}, {0, 0, 1}}},
        {"4-bit", 40, 4, {grey(0), kGreen, grey(9), kWhite, grey(33)}, {{4, 0, 2}, {1, 3, 4}, {2, 2, 0}}},
        {"8-bit reversed grey", 40, 8, reversed, {{0, 1, 2, 255, 128}, {7, 8, 9, 10, 11}}},
        {"8-bit core header", 12, 8, reversed, {{0, 5, 250}, {3, 4, 5}}},
        {"4-bit core header", 12, 4, std::vector<Colour>(16, kBlue), {{15, 0, 3}}},
    };
    for (const Case& c : cases) {
        BmpFile f;
        f.headerSize = c.headerSize, f.bitCount = c.bitCount, f.palette = c.palette;
        f.width = int(c.rows[0].size()), f.height = int(c.rows.size());
        if (c.headerSize == 12) f.palette.resize(std::size_t(1) << c.bitCount);
        f.pixels = packRows(c.bitCount, c.rows);
        const HeightImage img = decode(f.bytes());
        bool allGrey = true;
        for (std::size_t y = 0; y < c.rows.size(); ++y)
            for (std::size_t x = 0; x < c.rows[0].size(); ++x) {
                const Colour want = c.palette[c.rows[c.rows.size() - 1 - y][x]];
                allGrey = allGrey && want == grey(want & 0xFF);
                EXPECT_EQ(img.pixel(int(x), int(y)), want) << c.name << " at " << x << "," << y;
            }
        EXPECT_EQ(img.isGrey(), allGrey) << c.name;
    }
}

TEST(BmpReader, DirectColourDepthsUseTheirMasks) {
    struct Case {
        const char* name;
        int headerSize, bitCount;
        std::uint32_t compression;
        std::vector<std::uint32_t> masks;
        std::vector<std::uint32_t> values;
        std::vector<Colour> expected;
    };
    const Case cases[] = {
        {"16-bit default 5-5-5", 40, 16, 0, {}, {0x7C00, 0x03E0, 0x001F, 0x4210}, {kRed, kGreen, kBlue, grey(132)}},
        {"16-bit 5-6-5", 40, 16, 3, {0xF800, 0x07E0, 0x001F}, {0xF800, 0x07E0, 0xFFFF, 0}, {kRed, kGreen, kWhite, 0}},
        {"32-bit default", 40, 32, 0, {}, {0x00112233, 0xFF000000}, {0x332211, 0}},
        {"32-bit 10-10-10", 40, 32, 3, {0x3FF00000, 0xFFC00, 0x3FF}, {0x3FF00000, 0x200}, {kRed, 0x800000}},
        {"32-bit V2 header", 52, 32, 3, {0xFF, 0xFF00, 0xFF0000}, {0x332211}, {0x332211}},
        {"32-bit V3 header", 56, 32, 3, {0xFF00, 0xFF0000, 0xFF000000}, {0x33221100}, {0x332211}},
        {"32-bit V4 header", 108, 32, 3, {0xFF, 0xFF00, 0xFF0000}, {0x00808080}, {grey(128)}},
        {"32-bit V5 header", 124, 32, 3, {0xFF0000, 0xFF00, 0xFF}, {0x00FF0000}, {kRed}},
        {"24-bit V5 header", 124, 24, 0, {}, {0x332211, 0x050505}, {0x332211, grey(5)}},
    };
    for (const Case& c : cases) {
        BmpFile f;
        f.headerSize = c.headerSize, f.bitCount = c.bitCount, f.compression = c.compression, f.masks = c.masks;
        f.width = int(c.values.size());
        f.pixels = packRows(c.bitCount, {c.values});
        const HeightImage img = decode(f.bytes());
        EXPECT_EQ(pixelsOf(img), std::vector<std::vector<Colour>>{c.expected}) << c.name;
    }
}

TEST(BmpReader, TopDownAndBottomUpRowsLandInPlace) {
    BmpFile f;
    f.width = 2, f.height = -2;
    f.pixels = packRows(24, {px({grey(1), grey(2)}), px({grey(3), kRed})});
    EXPECT_EQ(pixelsOf(decode(f.bytes())), (std::vector<std::vector<Colour>>{{grey(1), grey(2)}, {grey(3), kRed}}));
    f.height = 2;
    EXPECT_EQ(pixelsOf(decode(f.bytes())), (std::vector<std::vector<Colour>>{{grey(3), kRed}, {grey(1), grey(2)}}));
}

TEST(BmpReader, ColourFoundLatePromotesWithoutLosingEarlierRows) {
    BmpFile f;
    f.width = 3, f.height = 3;
    f.pixels = packRows(24, {px({grey(1), grey(2), grey(3)}), px({grey(4), grey(5), grey(6)}), px({grey(7), kBlue, grey(9)})});
    const HeightImage img = decode(f.bytes());
    EXPECT_FALSE(img.isGrey());
    EXPECT_EQ(pixelsOf(img), (std::vector<std::vector<Colour>>{
                                 {grey(7), kBlue, grey(9)}, {grey(4), grey(5), grey(6)}, {grey(1), grey(2), grey(3)}}));
    BmpFile unused;  // colour entries in the palette that no pixel uses keep the picture grey
    unused.bitCount = 8, unused.width = 2, unused.palette = {grey(4), kRed, grey(6)};
    unused.pixels = packRows(8, {{0, 2}});
    EXPECT_TRUE(decode(unused.bytes()).isGrey());
}

TEST(BmpReader, RleGapsReadAsBlackAndRunsLandInPlace) {
    BmpFile f;
    f.bitCount = 8, f.compression = 1, f.width = 6, f.height = 3;
    f.palette = {kWhite, grey(50), kRed};  // index 0 is white: gaps must still be black
    // Bottom row: run of 2 x index 1, end of line. Middle row: jump 3 right, absolute 3 (0, 2, 1)
    // padded, end of line. Top row: run of 1 x index 0, then end of picture.
    f.pixels = std::string("\2\1\0\0" "\0\2\3\0" "\0\3\0\2\1\0" "\0\0" "\1\0" "\0\1", 20);
    EXPECT_EQ(pixelsOf(decode(f.bytes())),
              (std::vector<std::vector<Colour>>{{kWhite, 0, 0, 0, 0, 0},
                                                {0, 0, 0, kWhite, kRed, grey(50)},
                                                {grey(50), grey(50), 0, 0, 0, 0}}));

    BmpFile g;
    g.bitCount = 4, g.compression = 2, g.width = 7, g.height = 2;
    g.palette = {0, grey(17), grey(34), grey(51)};
    // Bottom row: run of 3 alternating 1 and 2, absolute 3 nibbles (3, 0, 1), end of line.
    // Top row: jump 4 right, run of 2 x index 3, end of picture.
    g.pixels = std::string("\3\x12" "\0\3\x30\x10" "\0\0" "\0\2\4\0" "\2\x33" "\0\1", 16);
    EXPECT_EQ(pixelsOf(decode(g.bytes())),
              (std::vector<std::vector<Colour>>{{0, 0, 0, 0, grey(51), grey(51), 0},
                                                {grey(17), grey(34), grey(17), grey(51), 0, grey(17), 0}}));
}

TEST(BmpReader, HostileFilesAreRefusedWithAReason) {
    BmpFile ok8;
    ok8.bitCount = 8, ok8.width = 3, ok8.height = 2, ok8.palette = {0, grey(1), grey(2)};
    ok8.pixels = packRows(8, {{0, 1, 2}, {2, 1, 0}});
    BmpFile ok24;
    ok24.width = 3, ok24.height = 2, ok24.pixels = packRows(24, {{1, 2, 3}, {4, 5, 6}});
    auto with = [](BmpFile f, const std::function<void(BmpFile&)>& change) { return change(f), f.bytes(); };
    auto patched = [](std::string s, std::size_t at, std::uint32_t v) { return poke(s, at, v), s; };
    auto rle = [&](const char* data, std::size_t n) {
        return with(ok8, [&](BmpFile& f) { f.compression = 1, f.pixels = std::string(data, n); });
    };
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", "not a BMP"},
        {"text", "hello, this is text and not a picture", "not a BMP"},
        {"only the signature", "BM\0\0", "ends inside"},
        {"bogus header size", patched(ok24.bytes(), 14, 41), "header size 41"},
        {"header past the end", ok24.bytes().substr(0, 40), "ends inside its 40-byte"},
        {"zero width", with(ok24, [](BmpFile& f) { f.width = 0; }), "width 0 is not positive"},
        {"negative width", with(ok24, [](BmpFile& f) { f.width = -3; }), "width -3"},
        {"zero height", with(ok24, [](BmpFile& f) { f.height = 0; }), "height is zero"},
        {"40000 x 40000", with(ok24, [](BmpFile& f) { f.width = f.height = 40000; }), "limit on a side"},
        {"16385 x 16384", with(ok24, [](BmpFile& f) { f.width = 16385, f.height = 16384; }), "16384 x 16384"},
        {"two planes", with(ok24, [](BmpFile& f) { f.planes = 2; }), "plane count is 2"},
        {"unknown compression", with(ok24, [](BmpFile& f) { f.compression = 9; }), "unknown compression 9"},
        {"odd bit depth", with(ok24, [](BmpFile& f) { f.bitCount = 7; }), "bit depth 7"},
        {"RLE8 at 4 bits", with(ok8, [](BmpFile& f) { f.compression = 1, f.bitCount = 4; }), "RLE8"},
        {"offset into the header", patched(ok24.bytes(), 10, 20), "inside the headers"},
        {"offset past the end", patched(ok24.bytes(), 10, 5000), "past the end of the file"},
        {"one pixel byte missing", ok24.bytes().substr(0, ok24.bytes().size() - 1), "truncated"},
        {"palette into the pixels", with(ok8, [](BmpFile& f) { f.coloursUsed = 200; }), "inside the headers"},
        {"palette too long", with(ok8, [](BmpFile& f) { f.coloursUsed = 300; }), "300 colours"},
        {"index beyond palette", with(ok8, [](BmpFile& f) { f.pixels[1] = 3; }), "index 3 is beyond"},
        {"overlapping masks",
         with(ok24, [](BmpFile& f) { f.bitCount = 32, f.compression = 3, f.masks = {0xFF, 0x1FF, 0xFF0000}; }),
         "overlap"},
        {"zero mask", with(ok24, [](BmpFile& f) { f.bitCount = 16, f.compression = 3, f.masks = {0xF, 0, 0xF0}; }),
         "green bit mask is zero"},
        {"scattered mask",
         with(ok24, [](BmpFile& f) { f.bitCount = 16, f.compression = 3, f.masks = {0x5, 0xF0, 0xF00}; }),
         "not one run"},
        {"RLE run past the row end", rle("\4\1\0\1", 4), "crosses the end of row"},
        {"RLE absolute past the row end", rle("\0\4\1\1\1\1", 6), "crosses the end of row"},
        {"RLE past the last row", rle("\0\0\0\0\0\0\1\1", 8), "past the last row"},
        {"RLE jump outside", rle("\0\2\4\0", 4), "jump leaves"},
        {"RLE without an end", rle("\3\1\0\0", 4), "end-of-picture mark"},
        {"RLE index beyond palette", rle("\2\7\0\1", 4), "index 7 is beyond"},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        try {
            decode(c.bytes);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), err::InvalidPicture) << c.name;
            EXPECT_NE(e.description().find("t.bmp: "), std::string::npos) << c.name;
            EXPECT_NE(e.description().find(c.reason), std::string::npos) << c.name << ": " << e.description();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50)) << c.name;
    }
}

TEST(BmpReader, HeaderReportsTheCheckedLayout) {
    BmpFile f;
    f.bitCount = 8, f.width = 3, f.height = -2, f.palette = {grey(0), grey(9)};
    f.pixels = packRows(8, {{0, 1, 1}, {1, 0, 0}});
    const std::string bytes = f.bytes();
    MemorySource src({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    const BmpHeader h = readBmpHeader(src, "t.bmp");
    EXPECT_EQ(h.width, 3);
    EXPECT_EQ(h.height, 2);
    EXPECT_TRUE(h.topDown);
    EXPECT_EQ(h.paletteSize, 2);
    EXPECT_TRUE(h.paletteGrey);
    EXPECT_EQ(h.pixelOffset, 14u + 40u + 8u);
    EXPECT_EQ(h.pixelBytes, 8u);
}

TEST(BmpReader, PicturesBeyondTheMemoryBudgetAreRefusedBeforeAllocating) {
    BmpFile f;
    f.width = 4, f.height = 4, f.pixels = packRows(24, std::vector<std::vector<std::uint32_t>>(4, {0, 0, 0, kRed}));
    try {
        decode(f.bytes(), 15);
        ADD_FAILURE() << "accepted";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::OutOfMemory);
    }
    EXPECT_THROW(decode(f.bytes(), 16 + 32), RuntimeError);  // grey fits, colour does not
    EXPECT_FALSE(decode(f.bytes(), 80).isGrey());
}

TEST(BmpReader, CorpusFilesDecodeOrAreRefusedCleanly) {
    // Seed files of each kind the reader supports, plus any input that once broke it.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MORV_BMP_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        ++files;
        try {
            EXPECT_FALSE(decode(bytes.str(), std::uint64_t(16) << 20).empty()) << entry.path();
        } catch (const RuntimeError& e) {
            EXPECT_TRUE(e.number() == err::InvalidPicture || e.number() == err::OutOfMemory) << entry.path();
        }
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace morv
