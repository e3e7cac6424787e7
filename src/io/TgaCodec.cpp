#include "io/TgaCodec.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/RuntimeError.h"
#include "io/ImageIO.h"
#include "io/DecodedPicture.h"

namespace morv {

namespace {

constexpr std::size_t kHeaderSize = 18;

std::uint16_t le16(const std::uint8_t* p) noexcept { return std::uint16_t(p[0] | (p[1] << 8)); }

struct TgaHeader {
    int idLength, mapType, type, mapFirst, mapLength, mapBits, width, height, bits, descriptor;
    explicit TgaHeader(const std::uint8_t* h)
        : idLength(h[0]), mapType(h[1]), type(h[2]), mapFirst(le16(h + 3)), mapLength(le16(h + 5)), mapBits(h[7]),
          width(le16(h + 12)), height(le16(h + 14)), bits(h[16]), descriptor(h[17]) {}
    int base() const { return type & 7; }  // 1 colour-mapped, 2 true colour, 3 grey
    bool rle() const { return type & 8; }
    std::uint64_t mapBytes() const { return mapType ? std::uint64_t(mapLength) * ((mapBits + 7) / 8) : 0; }
};

bool validBits(const TgaHeader& h) {
    switch (h.base()) {
    case 1: return h.bits == 8 && (h.mapBits == 15 || h.mapBits == 16 || h.mapBits == 24 || h.mapBits == 32);
    case 2: return h.bits == 15 || h.bits == 16 || h.bits == 24 || h.bits == 32;
    case 3: return h.bits == 8 || h.bits == 16;
    default: return false;
    }
}

/// One pixel's bytes to 0x00BBGGRR (grey: level x 0x010101).
Colour decodePixel(const std::uint8_t* p, int bits, bool grey) {
    if (grey) return fcnGrayColor(p[0]);
    if (bits == 15 || bits == 16) {
        const unsigned v = unsigned(p[0] | (p[1] << 8));
        auto five = [](unsigned c) { return int((c * 255 + 15) / 31); };
        return Colour(five((v >> 10) & 31) | (five((v >> 5) & 31) << 8) | (five(v & 31) << 16));
    }
    return Colour(p[2] | (p[1] << 8) | (p[0] << 16));
}

}  // namespace

bool looksLikeTga(const std::uint8_t* b, std::size_t n, std::uint64_t length) noexcept {
    if (n < kHeaderSize || length < kHeaderSize) return false;
    const TgaHeader h(b);
    if (h.mapType > 1 || (h.base() == 1) != (h.mapType == 1) || (h.type & ~0xB) != 0) return false;
    if (h.base() == 1 && (h.mapLength == 0 || h.mapFirst + h.mapLength > 65536)) return false;
    if (h.width == 0 || h.height == 0 || (h.descriptor & 0xC0) != 0 || !validBits(h)) return false;
    return kHeaderSize + h.idLength + h.mapBytes() <= length;
}

HeightImage decodeTga(ByteSource& src, const std::string& name, std::uint64_t memoryBudget) {
    const std::uint64_t length = src.size();
    if (length < kHeaderSize) throw pictureError(name, "the file ends inside the TGA header");
    const auto headerBytes = src.fetch(0, kHeaderSize);
    if (!looksLikeTga(headerBytes.data(), kHeaderSize, length))
        throw pictureError(name, "not a TGA picture of a kind that can be read (type " +
                                     std::to_string(headerBytes[2]) + ", " + std::to_string(headerBytes[16]) + " bits)");
    const TgaHeader h(headerBytes.data());
    checkPictureSize(name, h.width, h.height);
    const bool grey = h.base() == 3;
    const std::uint64_t pixels = std::uint64_t(h.width) * std::uint64_t(h.height);
    checkPictureMemory(name, pixels * (grey ? 1 : 5), memoryBudget);

    std::uint64_t at = kHeaderSize + std::uint64_t(h.idLength);
    std::vector<Colour> palette;
    if (h.mapType) {
        const int entryBytes = (h.mapBits + 7) / 8;
        const auto map = src.fetch(at, std::size_t(h.mapBytes()));
        palette.resize(std::size_t(h.mapLength));
        for (int i = 0; i < h.mapLength; ++i)
            palette[std::size_t(i)] = decodePixel(map.data() + std::size_t(i) * std::size_t(entryBytes), h.mapBits, false);
        at += h.mapBytes();
    }
    const int pixelBytes = (h.bits + 7) / 8;
    auto colourOf = [&](const std::uint8_t* p) -> Colour {
        if (h.base() != 1) return decodePixel(p, h.bits, grey);
        const int index = p[0] - h.mapFirst;
        if (index < 0 || index >= h.mapLength)
            throw pictureError(name, "a pixel's colour index " + std::to_string(p[0]) + " lies outside the colour map");
        return palette[std::size_t(index)];
    };

    // Pixels in file order, then placed by the corner the file starts from.
    const bool topDown = h.descriptor & 0x20, rightToLeft = h.descriptor & 0x10;
    std::vector<Colour> row(std::size_t(h.width));
    HeightImage out(h.width, h.height);
    std::vector<std::uint8_t> rgb(std::size_t(h.width) * 3);
    auto place = [&](int fileRow) {
        const int y = topDown ? fileRow : h.height - 1 - fileRow;
        for (int x = 0; x < h.width; ++x) {
            const Colour c = row[std::size_t(rightToLeft ? h.width - 1 - x : x)];
            rgb[std::size_t(x) * 3] = std::uint8_t(c);
            rgb[std::size_t(x) * 3 + 1] = std::uint8_t(c >> 8);
            rgb[std::size_t(x) * 3 + 2] = std::uint8_t(c >> 16);
        }
        storeRgbRow(out, y, rgb.data(), 3);
    };
    auto need = [&](std::uint64_t n) {
        if (at + n > length) throw pictureError(name, "the file ends inside the TGA pixel data");
        const auto bytes = src.fetch(at, std::size_t(n));
        at += n;
        return bytes.data();
    };

    if (!h.rle()) {
        for (int fy = 0; fy < h.height; ++fy) {
            const std::uint8_t* p = need(std::uint64_t(h.width) * std::uint64_t(pixelBytes));
            for (int x = 0; x < h.width; ++x) row[std::size_t(x)] = colourOf(p + std::size_t(x) * std::size_t(pixelBytes));
            place(fy);
        }
        return out;
    }
    // Runs may carry on from one row into the next, never past the last pixel.
    int x = 0, fy = 0;
    while (fy < h.height) {
        const std::uint8_t packet = *need(1);
        const int count = (packet & 0x7F) + 1;
        if (std::uint64_t(fy) * std::uint64_t(h.width) + std::uint64_t(x) + std::uint64_t(count) > pixels)
            throw pictureError(name, "a TGA run of " + std::to_string(count) + " pixels runs past the end of the picture");
        const bool repeat = packet & 0x80;
        const std::uint8_t* p = repeat ? need(std::uint64_t(pixelBytes)) : need(std::uint64_t(count) * std::uint64_t(pixelBytes));
        const Colour repeated = repeat ? colourOf(p) : 0;
        for (int i = 0; i < count; ++i) {
            row[std::size_t(x)] = repeat ? repeated : colourOf(p + std::size_t(i) * std::size_t(pixelBytes));
            if (++x == h.width) {
                place(fy++);
                x = 0;
            }
        }
    }
    return out;
}

}  // namespace morv
