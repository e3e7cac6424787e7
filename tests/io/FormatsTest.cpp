#include <gtest/gtest.h>

#include <tiffio.h>
#include <zlib.h>

#include <QImage>

#include <array>
#include <functional>
#include <string>
#include <tuple>

#include "core/RuntimeError.h"
#include "io/ImageIO.h"
#include "io/PictureEncode.h"
#include "io/PictureSize.h"
#include "io/PngCodec.h"
#include "io/TgaCodec.h"
#include "io/TiffCodec.h"
#include "support/QtPictures.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

using test::readFile;
using test::refusalOf;
using test::writeBytes;

std::string qtBytes(const QImage& image, const char* format) { return test::qtPictureBytes(image, format); }

std::string refusal(const std::string& path) {
    return refusalOf([&] { loadPicture(path); });
}

/// A 16-bit grey plane of w x h samples v(x, y).
QImage grey16(int w, int h, const std::function<int(int, int)>& v) {
    QImage q(w, h, QImage::Format_Grayscale16);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) reinterpret_cast<std::uint16_t*>(q.scanLine(y))[x] = std::uint16_t(v(x, y));
    return q;
}

/// Writes a TIFF with libtiff: samples of bits each, rows from pixel(x, y, channel),
/// in strips of three rows or tiles of 16 x 16.
void writeTiff(const std::string& path, int w, int h, int bits, int channels, std::uint16_t photometric,
               std::uint16_t compression, bool tiled, const std::function<int(int, int, int)>& pixel) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    for (auto [tag, v] : {std::pair{TIFFTAG_IMAGEWIDTH, w}, {TIFFTAG_IMAGELENGTH, h}, {TIFFTAG_BITSPERSAMPLE, bits},
                          {TIFFTAG_SAMPLESPERPIXEL, channels}, {TIFFTAG_PHOTOMETRIC, int(photometric)},
                          {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG}, {TIFFTAG_COMPRESSION, int(compression)},
                          {tiled ? TIFFTAG_TILEWIDTH : TIFFTAG_ROWSPERSTRIP, tiled ? 16 : 3}, {tiled ? TIFFTAG_TILELENGTH : 0, 16}})
        if (tag) TIFFSetField(t, tag, v);
    if (photometric == PHOTOMETRIC_PALETTE) {
        static std::uint16_t r[256], g[256], b[256];
        for (int i = 0; i < 256; ++i) r[i] = std::uint16_t(i * 257), g[i] = std::uint16_t((255 - i) * 257), b[i] = 0;
        TIFFSetField(t, TIFFTAG_COLORMAP, r, g, b);
    }
    const std::size_t px = std::size_t(channels * bits / 8), row = std::size_t(w) * px;
    std::vector<std::uint8_t> plane(row * std::size_t(h)), tile(16 * 16 * px);
    for (std::size_t i = 0; i < std::size_t(w * h * channels); ++i) {
        const int v = pixel(int(i / std::size_t(channels)) % w, int(i / std::size_t(channels)) / w, int(i % std::size_t(channels)));
        if (bits == 16) reinterpret_cast<std::uint16_t*>(plane.data())[i] = std::uint16_t(v);
        else plane[i] = std::uint8_t(v);
    }
    for (int y = 0; y < h && !tiled; ++y) TIFFWriteScanline(t, plane.data() + std::size_t(y) * row, std::uint32_t(y), 0);
    for (int ty = 0; ty < h && tiled; ty += 16)
        for (int tx = 0; tx < w; tx += 16) {
            std::fill(tile.begin(), tile.end(), 0);
            for (int y = 0; y < 16 && ty + y < h; ++y)
                std::copy_n(plane.data() + std::size_t(ty + y) * row + std::size_t(tx) * px, std::size_t(std::min(16, w - tx)) * px,
                            tile.data() + std::size_t(y) * 16 * px);
            TIFFWriteTile(t, tile.data(), std::uint32_t(tx), std::uint32_t(ty), 0, 0);
        }
    TIFFClose(t);
}

TEST(PictureFormats, ReadsPngOfEveryKind) {
    test::TempDir dir;
    // Each picture filled with one value, another in its bottom right pixel.
    const auto made = [](QImage q, uint fill, uint last, const QList<QRgb>& table = {}) {
        if (!table.isEmpty()) q.setColorTable(table);
        q.fill(fill);
        q.setPixel(q.width() - 1, q.height() - 1, last);
        return q;
    };
    // Grey, 1-bit, palette and colour files of every depth: CorpusReplay.PicturesDecodeAsKeptOrAreRefused.
    struct Case { const char* name; QImage image; Colour corner; Colour last; bool grey; };
    const Case cases[] = {
        // Transparent palette entries: libpng then expands to four bytes a pixel.
        {"clear palette", made(QImage(64, 2, QImage::Format_Indexed8), 1, 2, {qRgba(0, 0, 0, 0), qRgb(200, 200, 200), qRgba(90, 90, 90, 128)}),
         fcnGrayColor(200), fcnGrayColor(90), true},
        {"alpha", made(QImage(3, 1, QImage::Format_ARGB32), qRgba(40, 40, 40, 7), qRgba(40, 40, 40, 7)), fcnGrayColor(40), fcnGrayColor(40), true},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(std::string(c.name) + ".png");
        writeBytes(path, qtBytes(c.image, "png"));
        const LoadedPicture p = loadPicture(path);
        EXPECT_EQ(p.type, PictureFileType::Png);
        EXPECT_EQ(std::pair(p.image->width(), p.image->height()), std::pair(c.image.width(), c.image.height())) << c.name;
        EXPECT_EQ(p.image->pixel(0, 0), c.corner) << c.name;
        EXPECT_EQ(p.image->pixel(c.image.width() - 1, c.image.height() - 1), c.last) << c.name;
        EXPECT_EQ(p.image->isGrey(), c.grey) << c.name;
        EXPECT_FALSE(p.mapping) << c.name;
    }
}

TEST(PictureFormats, Maps16BitGreyByTheirRangeOrAChosenOne) {
    test::TempDir dir;
    // Samples 1000..2000 across; the middle column is 1500 (127.5, so 128).
    auto v = [](int x, int) { return 1000 + x * 250; };
    writeBytes(dir.file("deep.png"), qtBytes(grey16(5, 2, v), "png"));
    writeTiff(dir.file("deep.tif"), 5, 2, 16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_DEFLATE, false,
              [&](int x, int y, int) { return v(x, y); });
    writeTiff(dir.file("tiles.tif"), 40, 20, 16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, true,
              [&](int x, int y, int) { return x < 5 ? v(x, y) : 1000; });
    for (const char* name : {"deep.png", "deep.tif", "tiles.tif"}) {
        LoadedPicture p = loadPicture(dir.file(name));
        ASSERT_TRUE(p.mapping) << name;
        EXPECT_EQ(p.mapping->found, (SampleRange{1000, 2000})) << name;
        EXPECT_FALSE(p.mapping->chosen);
        const int expect[] = {0, 64, 128, 191, 255};  // 63.75 and 191.25 round to 64 and 191
        for (int x = 0; x < 5; ++x) EXPECT_EQ(fcnGrayLevel(p.image->pixel(x, 1)), expect[x]) << name << " x " << x;

        p = loadPicture(dir.file(name), LevelOptions{SampleRange{1250, 1750}});
        EXPECT_TRUE(p.mapping->chosen);
        EXPECT_EQ(p.mapping->used, (SampleRange{1250, 1750}));
        const int chosen[] = {0, 0, 128, 255, 255};
        for (int x = 0; x < 5; ++x) EXPECT_EQ(fcnGrayLevel(p.image->pixel(x, 0)), chosen[x]) << name << " x " << x;
    }
}

TEST(PictureFormats, ReadsTiffStripsAndTilesOfEachKind) {
    test::TempDir dir;
    struct Case { const char* name; int bits, channels; std::uint16_t photometric, compression; bool tiled;
                  std::function<int(int, int, int)> pixel; Colour at21; };
    const Case cases[] = {
        {"grey8.tif", 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, false, [](int x, int y, int) { return x * 10 + y; }, fcnGrayColor(21)},
        {"white.tif", 8, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_PACKBITS, false, [](int x, int y, int) { return x * 10 + y; }, fcnGrayColor(255 - 21)},
        {"grey8tiles.tif", 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_DEFLATE, true, [](int x, int y, int) { return x * 10 + y; }, fcnGrayColor(21)},
        {"rgb.tif", 8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW, false, [](int x, int y, int c) { return c == 0 ? x * 10 + y : c * 50; }, 0x643215},
        {"rgba16.tif", 16, 4, PHOTOMETRIC_RGB, COMPRESSION_NONE, true, [](int x, int y, int c) { return c == 0 ? (x * 10 + y) * 257 : c * 50 * 257 + 100; }, 0x643215},
        {"palette.tif", 8, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE, false, [](int x, int y, int) { return x * 10 + y; }, Colour(21 | ((255 - 21) << 8))},
    };
    for (const auto& c : cases) {
        writeTiff(dir.file(c.name), 20, 17, c.bits, c.channels, c.photometric, c.compression, c.tiled, c.pixel);
        const LoadedPicture p = loadPicture(dir.file(c.name));
        EXPECT_EQ(p.type, PictureFileType::Tiff);
        EXPECT_EQ(std::pair(p.image->width(), p.image->height()), std::pair(20, 17)) << c.name;
        EXPECT_EQ(p.image->pixel(2, 1), c.at21) << c.name;
    }
}

std::string tgaHeader(int type, int w, int h, int bits, int descriptor, int mapLength = 0, int mapBits = 0) {
    std::string s(18, '\0');
    s[1] = char(mapLength ? 1 : 0);
    s[2] = char(type);
    s[5] = char(mapLength & 0xFF), s[6] = char(mapLength >> 8), s[7] = char(mapBits);
    s[12] = char(w & 0xFF), s[13] = char(w >> 8), s[14] = char(h & 0xFF), s[15] = char(h >> 8);
    s[16] = char(bits), s[17] = char(descriptor);
    return s;
}

TEST(PictureFormats, TheDeclaredSizeComesFromTheHeadersOfEachKind) {
    test::TempDir dir;
    // Wider than 255 pixels: both bytes of a 16-bit size count.
    const HeightImage picture = test::patternImage(300, 23);
    savePictureFile(picture, dir.file("p24.bmp"), PictureType::Bmp24);
    savePictureFile(picture, dir.file("p8.bmp"), PictureType::Bmp8);
    savePictureFile(picture, dir.file("p.png"), PictureType::Png8);
    writeBytes(dir.file("p.jpg"), qtBytes(QImage(300, 23, QImage::Format_Grayscale8), "jpg"));
    writeTiff(dir.file("p.tif"), 300, 23, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, true,
              [](int, int, int) { return 9; });
    writeBytes(dir.file("p.tga"), tgaHeader(3, 300, 23, 8, 0) + std::string(300 * 23, '\x05'));
    for (const char* name : {"p24.bmp", "p8.bmp", "p.png", "p.jpg", "p.tif", "p.tga"}) {
        const auto size = declaredPictureSize(dir.file(name));
        ASSERT_TRUE(size) << name;
        EXPECT_EQ(size->width, 300) << name;
        EXPECT_EQ(size->height, 23) << name;
    }
    // Nothing to tell: loading says why.
    writeBytes(dir.file("text.bmp"), "not a picture");
    writeBytes(dir.file("cut.png"), readFile(dir.file("p.png")).substr(0, 12));
    for (const char* name : {"text.bmp", "cut.png", "missing.bmp"}) EXPECT_FALSE(declaredPictureSize(dir.file(name))) << name;
}

TEST(PictureFormats, ReadsTgaAndRefusesRunsPastThePicture) {
    test::TempDir dir;
    struct Case { const char* name; std::string bytes; std::vector<Colour> expect; };  // expect: row-major, top first
    const Case cases[] = {
        // Grey, bottom-up: the file's first row is the picture's last.
        {"grey.tga", tgaHeader(3, 2, 2, 8, 0) + std::string("\x01\x02\x03\x04", 4),
         {fcnGrayColor(3), fcnGrayColor(4), fcnGrayColor(1), fcnGrayColor(2)}},
        // True colour RLE, top-down: a run of three crosses from the first row into the second.
        {"rle.tga", tgaHeader(10, 2, 2, 24, 0x20) + std::string("\x82\x30\x20\x10\x00\x05\x05\x05", 8),
         {0x302010, 0x302010, 0x302010, fcnGrayColor(5)}},
        // Colour-mapped, right to left.
        {"mapped.tga", tgaHeader(1, 2, 1, 8, 0x10, 2, 24) + std::string("\x00\x00\xFF\x07\x07\x07\x00\x01", 8),
         {fcnGrayColor(7), 0x0000FF}},
    };
    for (const auto& c : cases) {
        writeBytes(dir.file(c.name), c.bytes);
        const LoadedPicture p = loadPicture(dir.file(c.name));
        EXPECT_EQ(p.type, PictureFileType::Tga) << c.name;
        for (std::size_t i = 0; i < c.expect.size(); ++i)
            EXPECT_EQ(p.image->pixel(int(i) % p.image->width(), int(i) / p.image->width()), c.expect[i]) << c.name << " " << i;
    }
    struct Bad { const char* name; std::string bytes; const char* reason; };
    const Bad bad[] = {
        {"run.tga", tgaHeader(11, 2, 2, 8, 0) + std::string("\x84\x09", 2), "runs past the end of the picture"},
        {"short.tga", tgaHeader(3, 4, 4, 8, 0) + std::string(10, 'x'), "the file ends inside the TGA pixel data"},
        {"index.tga", tgaHeader(1, 1, 1, 8, 0, 1, 24) + std::string("\x01\x02\x03\x05", 4), "lies outside the colour map"},
    };
    for (const auto& b : bad) {
        writeBytes(dir.file(b.name), b.bytes);
        const std::string why = refusal(dir.file(b.name));
        EXPECT_EQ(why.rfind("481: ", 0), 0u) << why;
        EXPECT_NE(why.find(b.reason), std::string::npos) << b.name << ": " << why;
    }
}

std::string withChunkCrc(std::string bytes, std::size_t chunkStart, std::size_t dataLength) {
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + chunkStart + 4), uInt(dataLength + 4));
    for (int i = 0; i < 4; ++i) bytes[chunkStart + 8 + dataLength + std::size_t(i)] = char(crc >> (24 - 8 * i));
    return bytes;
}

TEST(PictureFormats, RefusesDamagedOrOversizedPngAndTiff) {
    test::TempDir dir;
    const std::string png = qtBytes(grey16(64, 64, [](int x, int y) { return x * 1000 + y * 7; }), "png");
    std::string flipped = png, badCrc = png;
    flipped[png.size() / 2] = char(flipped[png.size() / 2] ^ 0x40);
    badCrc[png.size() - 13] = char(badCrc[png.size() - 13] ^ 0x01);  // the last IDAT's checksum
    // A header claiming 40000 pixels a side, its checksum right.
    std::string huge = png;
    huge[16] = 0, huge[17] = 0, huge[18] = char(40000 >> 8), huge[19] = char(40000 & 0xFF);
    huge = withChunkCrc(huge, 8, 13);
    writeTiff(dir.file("good.tif"), 64, 64, 16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, false,
              [](int x, int y, int) { return x * 1000 + y * 7; });
    const std::string tif = readFile(dir.file("good.tif"));
    writeTiff(dir.file("wide.tif"), 40000, 1, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, false,
              [](int, int, int) { return 1; });

    struct Bad { const char* name; std::string bytes; const char* reason; };
    const Bad bad[] = {
        {"cut.png", png.substr(0, png.size() / 2), "damaged PNG data: the file ends inside the PNG data"},
        {"flipped.png", flipped, "damaged PNG data: "},
        {"crc.png", badCrc, "CRC error"},
        {"noend.png", png.substr(0, png.size() - 12), "damaged PNG end"},
        {"huge.png", huge, "beyond the size limits"},
        {"cut.tif", tif.substr(0, tif.size() / 3), "TIFF"},
        {"wide.tif", readFile(dir.file("wide.tif")), "beyond the size limits"},
    };
    for (const auto& b : bad) {
        writeBytes(dir.file(b.name), b.bytes);
        const std::string why = refusal(dir.file(b.name));
        EXPECT_EQ(why.rfind("481: ", 0), 0u) << b.name << ": " << why;
        EXPECT_NE(why.find(b.reason), std::string::npos) << b.name << ": " << why;
        EXPECT_NE(why.find(dir.file(b.name)), std::string::npos) << why;
    }
    writeBytes(dir.file("text.txt"), "hello there, not a picture at all");
    EXPECT_EQ(refusal(dir.file("text.txt")),
              "481: Invalid picture: " + dir.file("text.txt") + ": not a BMP, JPEG, PNG, TIFF or TGA picture");
}

/// Counts the bytes a reader takes from the file.
class CountingSource final : public ByteSource {
public:
    explicit CountingSource(const std::string& bytes)
        : m_inner({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}) {}
    std::uint64_t size() const noexcept override { return m_inner.size(); }
    std::span<const std::uint8_t> fetch(std::uint64_t offset, std::size_t n) override {
        fetched += n;
        return m_inner.fetch(offset, n);
    }
    std::uint64_t fetched = 0;

private:
    MemorySource m_inner;
};

std::string chunk(const std::string& type, const std::string& data) {
    std::string c(4, '\0');
    for (int i = 0; i < 4; ++i) c[std::size_t(i)] = char(data.size() >> (24 - 8 * i));
    return withChunkCrc(c + type + data + std::string(4, '\0'), 0, data.size());
}

/// A 16 x 16 grey PNG of zeros (interlaced or not) whose compressed stream goes on
/// with `extra` more zero bytes: about extra / 1000 bytes in the file.
std::string pngWithExtraData(bool interlaced, std::size_t extra) {
    // Filter byte and 16 samples a row, or the seven interlaced passes' rows.
    const std::size_t rows = interlaced ? 286 : 16 * 17;
    z_stream z{};
    deflateInit(&z, 9);
    const std::string zeros(std::size_t(1) << 20, '\0');
    std::string out(extra / 500 + 4096, '\0');
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    for (std::size_t left = rows + extra; left > 0;) {
        const std::size_t n = std::min(left, zeros.size());
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
        z.avail_in = uInt(n);
        left -= n;
        deflate(&z, left ? Z_NO_FLUSH : Z_FINISH);
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    const std::string ihdr{0, 0, 0, 16, 0, 0, 0, 16, 8, 0, 0, 0, char(interlaced ? 1 : 0)};
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", ihdr) + chunk("IDAT", out) + chunk("IEND", "");
}

TEST(PictureFormats, PngDataPastTheLastRowIsRefusedUnread) {
    for (const bool interlaced : {false, true}) {
        // Sound: the stream ends with the rows.
        const std::string sound = pngWithExtraData(interlaced, 0);
        CountingSource whole(sound);
        EXPECT_EQ(refusalOf([&] { decodePng(whole, "sound.png", {}, 1 << 20); }), "none") << interlaced;
        // 48 MB of zeros more in a file of some 48 KB: refused after a few KB, not
        // after inflating all of it.
        const std::string bomb = pngWithExtraData(interlaced, std::size_t(48) << 20);
        ASSERT_GT(bomb.size(), 45000u);
        CountingSource source(bomb);
        EXPECT_EQ(refusalOf([&] { decodePng(source, "bomb.png", {}, 1 << 20); }),
                  "481: Invalid picture: bomb.png: damaged PNG data: more image data than the picture's 16 rows hold")
            << interlaced;
        EXPECT_LT(source.fetched, 20000u) << interlaced;
    }
}

TEST(PictureFormats, PngTextIsPassedOverUninflated) {
    // 1001 text chunks, each 1 MB of zeros compressed to 1 KB, before the data:
    // inflated, they cost seconds; and they used to fill libpng's chunk cache.
    const std::string zeros(std::size_t(1) << 20, '\0');
    std::string packed(compressBound(uLong(zeros.size())), '\0');
    uLongf packedSize = uLongf(packed.size());
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(zeros.data()),
              uLong(zeros.size()), 9);
    packed.resize(packedSize);
    const std::string sound = pngWithExtraData(false, 0);
    const std::size_t afterHeader = 8 + 25;
    std::string text;
    for (int i = 0; i < 1001; ++i) text += chunk("zTXt", std::string("Comment\0\0", 9) + packed);
    const std::string png = sound.substr(0, afterHeader) + text + sound.substr(afterHeader);
    CountingSource source(png);
    EXPECT_EQ(refusalOf([&] { decodePng(source, "text.png", {}, 1 << 20); }), "none");
}

/// A little-endian TIFF of 8-bit grey, uncompressed, from its directory's entries
/// (tag, type, value), padded to 250 bytes.
std::string tinyTiff(const std::vector<std::array<std::uint32_t, 3>>& entries) {
    std::string t = "II*";
    t += '\0';
    auto put = [&t](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) t += char(v >> (8 * i));
    };
    put(8, 4);
    put(std::uint32_t(entries.size()), 2);
    for (const auto& [tag, type, value] : entries) {
        put(tag, 2), put(type, 2), put(1, 4);
        put(value, 4);  // a SHORT sits in the first two bytes
    }
    put(0, 4);
    t.resize(250, '\0');
    return t;
}

TEST(PictureFormats, TiffPiecesOutsideTheFileAreDamagedNotMemory) {
    constexpr std::uint32_t kShort = 3, kLong = 4;
    auto grey = [&](std::uint32_t w, std::uint32_t h, std::uint32_t compression = 1) {
        return std::vector<std::array<std::uint32_t, 3>>{
            {256, kLong, w}, {257, kLong, h}, {258, kShort, 8}, {259, kShort, compression}, {262, kShort, 1}};
    };
    auto strips = [&](std::uint32_t w, std::uint32_t h, std::uint32_t offset, std::uint32_t bytes,
                      std::uint32_t compression = 1) {
        auto e = grey(w, h, compression);
        e.insert(e.end(), {{273, kLong, offset}, {277, kShort, 1}, {278, kLong, h}, {279, kLong, bytes}});
        return tinyTiff(e);
    };
    auto tiles = [&](std::uint32_t side) {
        auto e = grey(64, 64);
        e.insert(e.end(), {{277, kShort, 1}, {322, kLong, side}, {323, kLong, side}, {324, kLong, 200}, {325, kLong, 40}});
        return tinyTiff(e);
    };
    struct Case { const char* name; std::string bytes; std::string reason; };
    // A strip far past the end, LZW too short for its picture, tiles too large:
    // CorpusReplay.PicturesDecodeAsKeptOrAreRefused (tiff/strip-far.tif...).
    const Case cases[] = {
        // Its byte count fits, but the rows it holds do not: 64 x 64 from byte 200.
        {"short.tif", strips(64, 64, 200, 40),
         "damaged TIFF: strip 0 lies beyond the end of the file (4096 bytes at byte 200 of a file of 250 bytes)"},
        // 40 bytes of PackBits make at most 2560.
        {"packbits.tif", strips(64, 64, 200, 40, 32773), "damaged TIFF: 40 bytes of compressed data cannot hold 4096 bytes of picture"},
        {"bigtile.tif", tiles(32768), "damaged TIFF: tile 0 lies beyond the end of the file (1073741824 bytes"},
    };
    for (const auto& c : cases) {
        CountingSource source(c.bytes);
        // A budget of 1 MB: a plane or tile allocated before the check would be
        // refused as out of memory instead.
        const std::string why = refusalOf([&] { decodeTiff(source, c.name, {}, 1 << 20); });
        EXPECT_EQ(why.rfind(std::string("481: Invalid picture: ") + c.name + ": " + c.reason, 0), 0u) << why;
        EXPECT_EQ(why.find("scanline"), std::string::npos) << why;
    }
    // The same strip inside the file is read.
    std::string fits = strips(4, 4, 200, 16);
    fits[200 + 5] = char(77);
    CountingSource source(fits);
    const DecodedPicture p = decodeTiff(source, "fits.tif", {}, 1 << 20);
    EXPECT_EQ(p.image.pixel(1, 1), fcnGrayColor(77));
}

TEST(PictureFormats, AMarkedTgaIsRefusedForItsHeaderField) {
    test::TempDir dir;
    const std::string footer = std::string(8, '\0') + "TRUEVISION-XFILE." + '\0';
    std::string mapType = tgaHeader(2, 2, 2, 24, 0) + std::string(12, 'x');
    mapType[1] = 7;
    struct Case { const char* name; std::string bytes; const char* reason; };
    const Case cases[] = {
        {"map.tga", mapType, "damaged TGA header: colour map type 7 (0 or 1)"},
        {"bits.TGA", tgaHeader(2, 2, 2, 7, 0) + std::string(12, 'x'), "damaged TGA header: 7 bits a pixel for picture type 2"},
        {"type.img", tgaHeader(32, 2, 2, 8, 0) + std::string(12, 'x') + footer, "TGA picture type 32 cannot be read (types 1, 2 and 3 and their run-length forms 9, 10 and 11 can)"},
        {"size.tga", tgaHeader(3, 0, 2, 8, 0) + std::string(12, 'x'), "damaged TGA header: 0 x 2 pixels"},
        {"colours.tga", tgaHeader(1, 2, 2, 8, 0, 0, 24) + std::string(12, 'x'), "damaged TGA header: picture type 1 without a colour map"},
        {"cut.tga", tgaHeader(1, 2, 2, 8, 0, 300, 24), "the file ends inside the TGA header's ID or colour map"},
        // Unmarked, the same bytes are not taken for a TGA picture.
        {"map.bin", mapType, "not a BMP, JPEG, PNG, TIFF or TGA picture"},
    };
    for (const auto& c : cases) {
        writeBytes(dir.file(c.name), c.bytes);
        EXPECT_EQ(refusal(dir.file(c.name)), "481: Invalid picture: " + dir.file(c.name) + ": " + c.reason);
    }
}

TEST(PictureFormats, WritesEachTypeAndReadsItBack) {
    test::TempDir dir;
    const HeightImage grey = test::patternImage(37, 11), colour = test::patternImage(37, 11, true);
    struct Case { const char* name; PictureType type; const HeightImage* image; PictureType written; std::size_t size; };
    const Case cases[] = {
        {"a.bmp", PictureType::Bmp24, &grey, PictureType::Bmp24, 54 + 112 * 11},
        {"b.bmp", PictureType::Bmp8, &grey, PictureType::Bmp8, 1078 + 40 * 11},
        {"c.bmp", PictureType::Bmp8, &colour, PictureType::Bmp24, 54 + 112 * 11},
        {"d.png", PictureType::Png8, &grey, PictureType::Png8, 0},
        {"e.png", PictureType::Png8, &colour, PictureType::Png24, 0},
        {"f.png", PictureType::Png24, &grey, PictureType::Png24, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(effectiveType(c.type, *c.image), c.written) << c.name;
        savePictureFile(*c.image, dir.file(c.name), c.type);
        const std::string bytes = readFile(dir.file(c.name));
        if (c.size) {
            EXPECT_EQ(bytes.size(), c.size) << c.name;
        } else {
            EXPECT_EQ(int(bytes[25]), c.written == PictureType::Png8 ? 0 : 2) << "PNG colour type, " << c.name;
        }
        const LoadedPicture back = loadPicture(dir.file(c.name));
        EXPECT_EQ(*back.image, *c.image) << c.name;
    }
    // Without a depth a PNG is 8-bit grey and anything else 24-bit BMP, also when
    // the type comes from the kind of file a map was read from.
    const std::tuple<const char*, std::optional<int>, PictureType> named[] = {
        {"x/Map.PNG", 8, PictureType::Png8}, {"x.png/map", 8, PictureType::Bmp8}, {"map.jpg", 24, PictureType::Bmp24},
        {"map.Png", std::nullopt, PictureType::Png8}, {"map.png", 24, PictureType::Png24}, {"map.tga", std::nullopt, PictureType::Bmp24},
        {"a.bmp", std::nullopt, PictureType::Bmp24}, {"a.bmp", 8, PictureType::Bmp8}, {"dir.png/a", std::nullopt, PictureType::Bmp24}};
    for (const auto& [path, depth, type] : named) EXPECT_EQ(pictureTypeFor(path, depth), type) << path;
    EXPECT_EQ(saveTypeFor(PictureFileType::Png), PictureType::Png8);
    EXPECT_EQ(saveTypeFor(PictureFileType::Tiff), PictureType::Bmp24);
}

}  // namespace
}  // namespace morv
