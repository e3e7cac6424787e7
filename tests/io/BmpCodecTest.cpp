#include "io/BmpCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/RuntimeError.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

using namespace std::string_literals;
using Rows = std::vector<std::vector<std::int64_t>>;  // pixel values or palette indices, file order

void poke(std::string& s, std::size_t at, std::int64_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) s[at + std::size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

/// A BMP file put together field by field.
struct BmpFile {
    int headerSize = 40, width = 1, height = 1, bitCount = 24, planes = 1;
    std::uint32_t compression = 0, coloursUsed = 0;
    std::vector<Colour> palette{};
    std::vector<std::uint32_t> masks{};  // bit fields: after a 40-byte header, else inside the header
    std::string pixels{};

    /// Packs rows at bitCount bits, each padded to 4 bytes, and sizes the picture to them (keeping top-down).
    BmpFile& pack(const Rows& rows) {
        width = int(rows[0].size()), height = (height < 0 ? -1 : 1) * int(rows.size()), pixels.clear();
        for (const auto& row : rows) {
            std::string r((row.size() * std::size_t(bitCount) + 31) / 32 * 4, '\0');
            for (std::size_t x = 0, bit = 0; x < row.size(); ++x, bit += std::size_t(bitCount)) {
                const std::int64_t v = row[x];
                if (bitCount < 8) r[bit / 8] = char(r[bit / 8] | (v << (8 - bitCount - int(bit % 8))));
                else if (bitCount == 24) poke(r, bit / 8, ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF), 3);
                else poke(r, bit / 8, v, bitCount / 8);
            }
            pixels += r;
        }
        return *this;
    }

    std::string bytes() const {
        std::string h(std::size_t(headerSize), '\0'), tables, f = "BM" + std::string(12, '\0');
        poke(h, 0, headerSize);
        if (headerSize == 12) poke(h, 4, width, 2), poke(h, 6, height, 2), poke(h, 8, planes, 2), poke(h, 10, bitCount, 2);
        else poke(h, 4, width), poke(h, 8, height), poke(h, 12, planes, 2), poke(h, 14, bitCount, 2),
             poke(h, 16, masks.empty() ? compression : 3), poke(h, 20, std::int64_t(pixels.size())),
             poke(h, 32, coloursUsed ? coloursUsed : std::int64_t(palette.size()));
        for (std::size_t i = 0; i < masks.size(); ++i)
            if (headerSize == 40) tables += std::string(4, '\0'), poke(tables, 4 * i, masks[i]);
            else poke(h, 40 + 4 * i, masks[i]);
        for (Colour c : palette) tables += std::string{char(c >> 16), char(c >> 8), char(c)} + (headerSize == 12 ? "" : "\0"s);
        const auto pixelOffset = std::int64_t(14 + h.size() + tables.size());
        poke(f, 2, pixelOffset + std::int64_t(pixels.size())), poke(f, 10, pixelOffset);
        return f + h + tables + pixels;
    }
};

HeightImage decode(const std::string& bytes, std::uint64_t budget = std::uint64_t(1) << 40) {
    MemorySource src({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    return decodeBmp(src, "t.bmp", budget);
}

std::string refusal(const std::string& bytes, std::uint64_t budget = std::uint64_t(1) << 40) {
    return test::refusalOf([&] { decode(bytes, budget); });
}

const auto encode = test::bmp24Bytes;

/// Every pixel, top row first.
std::vector<Colour> pixelsOf(const HeightImage& img) {
    std::vector<Colour> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) out.push_back(img.pixel(x, y));
    return out;
}

constexpr Colour kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;
Colour grey(int level) { return fcnGrayColor(level); }

TEST(BmpCodec, WritesBottomUpBgrBytesAndRoundTrips) {
    HeightImage img(1, 2);
    img.setPixel(0, 0, 0x332211);  // top row: R 11, G 22, B 33
    img.setPixel(0, 1, grey(7));
    const std::string expected = std::string("BM" "\x3e\0\0\0" "\0\0\0\0" "\x36\0\0\0", 14) +
                                 std::string("\x28\0\0\0" "\1\0\0\0" "\2\0\0\0" "\1\0" "\x18\0" "\0\0\0\0"
                                             "\x08\0\0\0" "\x13\x0b\0\0" "\x13\x0b\0\0" "\0\0\0\0" "\0\0\0\0", 40) +
                                 std::string("\7\7\7\0" "\x33\x22\x11\0", 8);
    EXPECT_EQ(encode(img), expected);
    EXPECT_EQ(bmp24FileSize(1, 2), expected.size());

    std::mt19937 rng(7);  // round trips of grey and colour pictures at odd widths
    for (int w : {1, 2, 3, 5, 7, 130}) {
        HeightImage g(w, 3), c(w, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) g.setPixel(x, y, grey(int(rng() % 256))), c.setPixel(x, y, Colour(rng() & 0xFFFFFF));
        c.setPixel(0, 0, kRed);
        const HeightImage g2 = decode(encode(g)), c2 = decode(encode(c));
        EXPECT_TRUE(g2.isGrey()) << w;
        EXPECT_EQ(g2, g) << w;
        EXPECT_FALSE(c2.isGrey()) << w;
        EXPECT_EQ(c2, c) << w;
    }
}

TEST(BmpReader, EachDepthAndHeaderKindReadsItsPixels) {
    std::vector<Colour> reversed(256);
    for (int i = 0; i < 256; ++i) reversed[std::size_t(i)] = grey(255 - i);
    // rows: none for f's pixels as they are; expected: top row first, at 1, 4 and 8 bits the rows looked up in the palette
    struct Case { const char* name; BmpFile f; Rows rows; std::vector<Colour> expected; };
    const Case cases[] = {
        {"1-bit grey", {.bitCount = 1, .palette = {grey(10), grey(200)}}, {{1, 0, 1, 1, 0, 0, 0, 0, 1}, {0, 1, 1, 0, 0, 1, 0, 1, 0}}, {}},
        {"1-bit colour", {.bitCount = 1, .palette = {kRed, kBlue}}, {{1, 0, 1}, {0, 0, 1}}, {}},
        {"4-bit", {.bitCount = 4, .palette = {grey(0), kGreen, grey(9), kWhite, grey(33)}}, {{4, 0, 2}, {1, 3, 4}, {2, 2, 0}}, {}},
        {"8-bit reversed grey", {.bitCount = 8, .palette = reversed}, {{0, 1, 2, 255, 128}, {7, 8, 9, 10, 11}}, {}},
        {"8-bit unused colour entry", {.bitCount = 8, .palette = {grey(4), kRed, grey(6)}}, {{0, 2}}, {}},
        {"8-bit core header", {.headerSize = 12, .bitCount = 8, .palette = reversed}, {{0, 5, 250}, {3, 4, 5}}, {}},
        {"4-bit core header", {.headerSize = 12, .bitCount = 4, .palette = std::vector<Colour>(16, kBlue)}, {{15, 0, 3}}, {}},
        {"16-bit default 5-5-5", {.bitCount = 16}, {{0x7C00, 0x03E0, 0x001F, 0x4210}}, {kRed, kGreen, kBlue, grey(132)}},
        {"16-bit 5-6-5", {.bitCount = 16, .masks = {0xF800, 0x07E0, 0x001F}}, {{0xF800, 0x07E0, 0xFFFF, 0}}, {kRed, kGreen, kWhite, 0}},
        {"32-bit default", {.bitCount = 32}, {{0x00112233, 0xFF000000}}, {0x332211, 0}},
        {"32-bit 10-10-10", {.bitCount = 32, .masks = {0x3FF00000, 0xFFC00, 0x3FF}}, {{0x3FF00000, 0x200}}, {kRed, 0x800000}},
        {"32-bit V2 header", {.headerSize = 52, .bitCount = 32, .masks = {0xFF, 0xFF00, 0xFF0000}}, {{0x332211}}, {0x332211}},
        {"32-bit V3 header", {.headerSize = 56, .bitCount = 32, .masks = {0xFF00, 0xFF0000, 0xFF000000}}, {{0x33221100}}, {0x332211}},
        {"32-bit V4 header", {.headerSize = 108, .bitCount = 32, .masks = {0xFF, 0xFF00, 0xFF0000}}, {{0x00808080}}, {grey(128)}},
        {"32-bit V5 header", {.headerSize = 124, .bitCount = 32, .masks = {0xFF0000, 0xFF00, 0xFF}}, {{0x00FF0000}}, {kRed}},
        {"24-bit V5 header", {.headerSize = 124}, {{0x332211, 0x050505}}, {0x332211, grey(5)}},
        {"bottom-up, colour late", {}, {{grey(1), grey(2), grey(3)}, {grey(4), kBlue, grey(6)}}, {grey(4), kBlue, grey(6), grey(1), grey(2), grey(3)}},
        // RLE8, palette index 0 white as gaps must still be black. Bottom row: run of 2 x index 1, end of line. Middle
        // row: jump 3 right, absolute 3 (0, 2, 1) padded, end of line. Top: run of 1 x index 0, end of picture.
        {"RLE8", {.width = 6, .height = 3, .bitCount = 8, .compression = 1, .palette = {kWhite, grey(50), kRed},
                  .pixels = "\2\1\0\0" "\0\2\3\0" "\0\3\0\2\1\0" "\0\0" "\1\0" "\0\1"s}, {},
         {kWhite, 0, 0, 0, 0, 0, /**/ 0, 0, 0, kWhite, kRed, grey(50), /**/ grey(50), grey(50), 0, 0, 0, 0}},
        // RLE4. Bottom row: run of 3 alternating 1 and 2, absolute 3 nibbles (3, 0, 1), end of line.
        // Top row: jump 4 right, run of 2 x index 3, end of picture.
        {"RLE4", {.width = 7, .height = 2, .bitCount = 4, .compression = 2, .palette = {0, grey(17), grey(34), grey(51)},
                  .pixels = "\3\x12" "\0\3\x30\x10" "\0\0" "\0\2\4\0" "\2\x33" "\0\1"s}, {},
         {0, 0, 0, 0, grey(51), grey(51), 0, /**/ grey(17), grey(34), grey(17), grey(51), 0, grey(17), 0}},
        {"top-down, colour late", {.height = -1}, {{grey(1), grey(2), grey(3)}, {grey(4), kBlue, grey(6)}}, {grey(1), grey(2), grey(3), grey(4), kBlue, grey(6)}},
    };
    for (Case c : cases) {
        if (c.f.headerSize == 12) c.f.palette.resize(std::size_t(1) << c.f.bitCount);
        for (auto row = c.rows.rbegin(); c.f.bitCount <= 8 && row != c.rows.rend(); ++row)
            for (std::int64_t i : *row) c.expected.push_back(c.f.palette[std::size_t(i)]);
        const HeightImage img = decode((c.rows.empty() ? c.f : c.f.pack(c.rows)).bytes());
        EXPECT_EQ(pixelsOf(img), c.expected) << c.name;
        EXPECT_EQ(img.isGrey(), std::ranges::all_of(c.expected, [](Colour p) { return p == grey(p & 0xFF); })) << c.name;
    }
}

TEST(BmpReader, HostileAndHugeFilesAreRefusedEarly) {
    BmpFile ok8{.bitCount = 8, .palette = {0, grey(1), grey(2)}}, ok24;
    ok8.pack({{0, 1, 2}, {2, 1, 0}}), ok24.pack({{1, 2, 3}, {4, 5, 6}});
    auto with = [](BmpFile f, auto change) { return change(f), f.bytes(); };
    auto b24 = [&](BmpFile f) { return f.pixels = ok24.pixels, f.bytes(); };  // ok24's pixels in another header
    auto patched = [](std::string s, std::size_t at, std::uint32_t v) { return poke(s, at, v), s; };
    auto rle = [&](const char* data, std::size_t n) {
        return with(ok8, [&](BmpFile& f) { f.compression = 1, f.pixels = std::string(data, n); });
    };
    const std::string ok = ok24.bytes();
    const std::pair<std::string, const char*> cases[] = {  // the bytes, the reason given
        {"", "not a BMP"}, {"hello, this is text and not a picture", "not a BMP"}, {"BM\0\0"s, "ends inside"},
        {patched(ok, 14, 41), "header size 41"}, {ok.substr(0, 40), "ends inside its 40-byte"},
        {b24({.width = 0}), "width 0 is not positive"}, {b24({.width = -3}), "width -3"},
        {b24({.height = 0}), "height is zero"}, {b24({.width = 40000, .height = 40000}), "limit on a side"},
        {b24({.width = 16385, .height = 16384}), "16384 x 16384"}, {b24({.planes = 2}), "plane count is 2"},
        {b24({.compression = 9}), "unknown compression 9"}, {b24({.bitCount = 7}), "bit depth 7"},
        {with(ok8, [](BmpFile& f) { f.compression = 1, f.bitCount = 4; }), "RLE8"},
        {patched(ok, 10, 20), "inside the headers"}, {patched(ok, 10, 5000), "past the end of the file"},
        {ok.substr(0, ok.size() - 1), "truncated"},
        {with(ok8, [](BmpFile& f) { f.coloursUsed = 200; }), "inside the headers"},
        {with(ok8, [](BmpFile& f) { f.coloursUsed = 300; }), "300 colours"},
        {with(ok8, [](BmpFile& f) { f.pixels[1] = 3; }), "index 3 is beyond"},
        {b24({.bitCount = 32, .masks = {0xFF, 0x1FF, 0xFF0000}}), "overlap"},
        {b24({.bitCount = 16, .masks = {0xF, 0, 0xF0}}), "green bit mask is zero"},
        {b24({.bitCount = 16, .masks = {0x5, 0xF0, 0xF00}}), "not one run"}, {rle("\4\1\0\1", 4), "crosses the end of row"},
        {rle("\0\4\1\1\1\1", 6), "crosses the end of row"}, {rle("\0\0\0\0\0\0\1\1", 8), "past the last row"},
        {rle("\0\2\4\0", 4), "jump leaves"}, {rle("\3\1\0\0", 4), "end-of-picture mark"},
        {rle("\2\7\0\1", 4), "index 7 is beyond"},
        // Runs that fit the width (3) but not what is left of the row after the first pixels.
        {rle("\2\1\2\1", 4), "crosses the end of row 1"}, {rle("\1\1\0\3\1\1\1\0", 8), "crosses the end of row 1"},
        {rle("\0\2\2\0\2\1", 6), "crosses the end of row 1"},
    };
    for (const auto& [bytes, reason] : cases) {
        const std::string r = refusal(bytes);
        EXPECT_TRUE(r.starts_with("481: ")) << reason << " / " << r;
        EXPECT_NE(r.find("t.bmp: "), r.npos) << reason << " / " << r;
        EXPECT_NE(r.find(reason), r.npos) << reason << " / " << r;
    }
    // Beyond the memory budget: refused before allocating, as out of memory.
    const std::string colour = BmpFile{}.pack(Rows(4, {0, 0, 0, kRed})).bytes();
    EXPECT_TRUE(refusal(colour, 15).starts_with("7: ")) << refusal(colour, 15);
    EXPECT_TRUE(refusal(colour, 16 + 32).starts_with("7: ")) << "grey fits, colour does not";
    EXPECT_EQ(refusal(colour, 80), "none");
}

}  // namespace
}  // namespace morv
