#include "io/TgaCodec.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
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

/// The first header field that keeps a file from being read as a TGA picture.
enum class Fault { None, MapType, Type, MapForType, MapRange, NoPixels, Interleaved, Bits, Short };

Fault faultOf(const TgaHeader& h, std::uint64_t length) noexcept {
    if (h.mapType > 1) return Fault::MapType;
    if ((h.type & ~0xB) != 0 || h.base() == 0) return Fault::Type;
    if ((h.base() == 1) != (h.mapType == 1)) return Fault::MapForType;
    if (h.base() == 1 && (h.mapLength == 0 || h.mapFirst + h.mapLength > 65536)) return Fault::MapRange;
    if (h.width == 0 || h.height == 0) return Fault::NoPixels;
    if ((h.descriptor & 0xC0) != 0) return Fault::Interleaved;
    if (!validBits(h)) return Fault::Bits;
    if (kHeaderSize + h.idLength + h.mapBytes() > length) return Fault::Short;
    return Fault::None;
}

std::string describe(Fault fault, const TgaHeader& h) {
    const auto n = [](int v) { return std::to_string(v); };
    switch (fault) {
    case Fault::None: break;
    case Fault::MapType: return "damaged TGA header: colour map type " + n(h.mapType) + " (0 or 1)";
    case Fault::Type:
        return "TGA picture type " + n(h.type) + " cannot be read (types 1, 2 and 3 and their run-length forms 9, 10 and 11 can)";
    case Fault::MapForType:
        return "damaged TGA header: picture type " + n(h.type) + (h.mapType ? " with" : " without") + " a colour map";
    case Fault::MapRange:
        return "damaged TGA header: a colour map of " + n(h.mapLength) + " entries from index " + n(h.mapFirst);
    case Fault::NoPixels: return "damaged TGA header: " + n(h.width) + " x " + n(h.height) + " pixels";
    case Fault::Interleaved: return "TGA pictures with interleaved rows cannot be read";
    case Fault::Bits:
        return "damaged TGA header: " + n(h.bits) + " bits a pixel" +
               (h.base() == 1 ? " and " + n(h.mapBits) + " bits a colour map entry" : std::string()) +
               " for picture type " + n(h.type);
    case Fault::Short: return "the file ends inside the TGA header's ID or colour map";
    }
    return {};
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
    return n >= kHeaderSize && length >= kHeaderSize && faultOf(TgaHeader(b), length) == Fault::None;
}

bool isMarkedTga(const std::string& name, ByteSource& source) {
    static const char kFooter[] = "TRUEVISION-XFILE.";  // with its closing zero: 18 bytes
    if (source.size() >= 26 && std::memcmp(source.fetch(source.size() - 18, 18).data(), kFooter, 18) == 0) return true;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4 || name.find('/', dot) != std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == "tga";
}

HeightImage decodeTga(ByteSource& src, const std::string& name, std::uint64_t memoryBudget) {
    const std::uint64_t length = src.size();
    if (length < kHeaderSize) throw pictureError(name, "the file ends inside the TGA header");
    const auto headerBytes = src.fetch(0, kHeaderSize);
    const TgaHeader h(headerBytes.data());
    if (const Fault fault = faultOf(h, length); fault != Fault::None) throw pictureError(name, describe(fault, h));
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
