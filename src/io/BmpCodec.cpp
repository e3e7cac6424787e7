#include "io/BmpCodec.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/RuntimeError.h"
#include "io/PictureLimits.h"
#include "engine/PixelKernels.h"
#include "engine/PixelPack.h"

namespace morv {

FileSource::FileSource(int fd, std::string path, std::uint64_t size)
    : m_fd(fd), m_path(std::move(path)), m_size(size) {}

std::span<const std::uint8_t> FileSource::fetch(std::uint64_t offset, std::size_t n) {
    if (offset >= m_bufferStart && offset + n <= m_bufferStart + m_bufferLength)
        return {m_buffer.get() + (offset - m_bufferStart), n};
    const std::size_t want = std::size_t(std::min<std::uint64_t>(std::max(n, m_nextChunk), m_size - offset));
    m_bufferStart = offset;
    m_bufferLength = 0;
    if (m_capacity < want) {
        m_buffer.reset();
        m_capacity = 0;
        m_buffer.reset(new std::uint8_t[want]);  // left unset: the reads below fill it
        m_capacity = want;
    }
    while (m_bufferLength < want) {
        const ssize_t got = ::pread(m_fd, m_buffer.get() + m_bufferLength, want - m_bufferLength,
                                    off_t(offset + m_bufferLength));
        if (got < 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            m_bufferLength = 0;
            throw fileError(m_path, e);
        }
        if (got == 0) {
            m_bufferLength = 0;
            throw pictureError(m_path, "the file became shorter while it was read");
        }
        m_bufferLength += std::size_t(got);
    }
    m_nextChunk = std::min(m_nextChunk * 2, kReadChunk);
    return {m_buffer.get(), n};
}

namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;
constexpr std::uint64_t kFileHeaderSize = 14;

std::uint16_t le16(const std::uint8_t* p) noexcept { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t le32(const std::uint8_t* p) noexcept {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

Colour rgb(int r, int g, int b) noexcept { return Colour(r | (g << 8) | (b << 16)); }

/// One colour channel of a 16- or 32-bit pixel: shift, reduce to at most 8 bits,
/// then scale to 0..255 through a table.
struct Channel {
    int shift = 0;
    std::uint32_t mask = 0;
    std::array<std::uint8_t, 256> scale{};

    int operator()(std::uint32_t pixel) const noexcept { return scale[(pixel >> shift) & mask]; }
};

struct Palette {
    int size = 0;
    bool allGrey = true;
    std::array<Colour, 256> colour{};
    std::array<std::uint8_t, 256> isGrey{};
};

/// Everything the pixel decoder needs, read from the headers.
struct Layout {
    BmpHeader header;
    std::uint64_t stride = 0;
    Palette palette;
    std::array<Channel, 3> channels;  // red, green, blue
};

[[noreturn]] void refuse(const std::string& name, const std::string& reason) { throw pictureError(name, reason); }

std::string hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

Channel makeChannel(std::uint32_t mask, int bitCount, const char* what, const std::string& name) {
    if (mask == 0) refuse(name, std::string("the ") + what + " bit mask is zero");
    if (bitCount < 32 && (mask >> bitCount) != 0)
        refuse(name, std::string("the ") + what + " bit mask " + hex(mask) + " lies outside a " +
                         std::to_string(bitCount) + "-bit pixel");
    Channel ch;
    ch.shift = std::countr_zero(mask);
    int bits = std::popcount(mask);
    if ((std::uint64_t(mask) >> ch.shift) != (std::uint64_t(1) << bits) - 1)
        refuse(name, std::string("the ") + what + " bit mask " + hex(mask) + " is not one run of bits");
    if (bits > 8) {
        ch.shift += bits - 8;
        bits = 8;
    }
    ch.mask = (1u << bits) - 1;
    for (std::uint32_t v = 0; v <= ch.mask; ++v) ch.scale[v] = std::uint8_t((v * 255 + ch.mask / 2) / ch.mask);
    return ch;
}

/// The header fields as the file states them, before any check of their values.
struct RawHeader {
    std::uint64_t fileLength = 0;
    std::uint64_t pixelOffset = 0;
    std::uint32_t headerSize = 0;
    std::array<std::uint8_t, 124> bytes{};  ///< The info header (its first headerSize bytes).
    bool core = false;                      ///< The 12-byte header of the oldest form.
    std::int64_t width = 0, height = 0;
    int planes = 0, bitCount = 0;
    std::uint32_t compression = kRgb, sizeImage = 0, coloursUsed = 0;
};

/// Reads the file header and the info header of any supported size.
RawHeader readRawHeader(ByteSource& src, const std::string& name) {
    RawHeader raw;
    raw.fileLength = src.size();
    if (raw.fileLength < 2 || std::memcmp(src.fetch(0, 2).data(), "BM", 2) != 0)
        refuse(name, "not a BMP file (it does not start with \"BM\")");
    if (raw.fileLength < kFileHeaderSize + 4)
        refuse(name, "the file ends inside the BMP header (" + std::to_string(raw.fileLength) + " bytes)");
    const auto fileHeader = src.fetch(0, kFileHeaderSize + 4);
    raw.pixelOffset = le32(fileHeader.data() + 10);
    raw.headerSize = le32(fileHeader.data() + 14);
    const std::uint32_t hs = raw.headerSize;
    if (hs != 12 && hs != 40 && hs != 52 && hs != 56 && hs != 108 && hs != 124)
        refuse(name, "unsupported BMP header size " + std::to_string(hs));
    if (kFileHeaderSize + hs > raw.fileLength)
        refuse(name, "the file ends inside its " + std::to_string(hs) + "-byte BMP header");
    const auto headerBytes = src.fetch(kFileHeaderSize, hs);
    std::copy(headerBytes.begin(), headerBytes.end(), raw.bytes.begin());

    const std::uint8_t* h = raw.bytes.data();
    raw.core = hs == 12;
    if (raw.core) {
        raw.width = le16(&h[4]);
        raw.height = le16(&h[6]);
        raw.planes = le16(&h[8]);
        raw.bitCount = le16(&h[10]);
    } else {
        raw.width = std::int32_t(le32(&h[4]));
        raw.height = std::int32_t(le32(&h[8]));
        raw.planes = le16(&h[12]);
        raw.bitCount = le16(&h[14]);
        raw.compression = le32(&h[16]);
        raw.sizeImage = le32(&h[20]);
        raw.coloursUsed = le32(&h[32]);
    }
    return raw;
}

/// Checks the size and the plane count; sets the row order and makes the height positive.
void checkDimensions(RawHeader& raw, BmpHeader& hd, const std::string& name) {
    const std::int64_t width = raw.width;
    if (width <= 0) refuse(name, "the width " + std::to_string(width) + " is not positive");
    if (raw.height == 0) refuse(name, "the height is zero");
    hd.topDown = raw.height < 0;
    if (hd.topDown) raw.height = -raw.height;
    const std::int64_t height = raw.height;
    if (width > kMaxPictureSide || height > kMaxPictureSide)
        refuse(name, std::to_string(width) + " x " + std::to_string(height) + " pixels is beyond the " +
                         std::to_string(kMaxPictureSide) + "-pixel limit on a side");
    if (width * height > kMaxPictureArea)
        refuse(name, std::to_string(width) + " x " + std::to_string(height) +
                         " pixels is beyond the limit of " + std::to_string(kMaxPictureAreaSide) + " x " +
                         std::to_string(kMaxPictureAreaSide) + " pixels");
    if (raw.planes != 1) refuse(name, "the plane count is " + std::to_string(raw.planes) + ", not 1");
}

/// Checks that the compression suits the bit depth and the row order.
void checkCompression(const RawHeader& raw, bool topDown, const std::string& name) {
    const int bitCount = raw.bitCount;
    switch (raw.compression) {
    case kRgb: {
        const bool ok = raw.core ? (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24)
                                 : (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                                    bitCount == 24 || bitCount == 32);
        if (!ok) refuse(name, "unsupported bit depth " + std::to_string(bitCount));
        break;
    }
    case kRle8:
    case kRle4:
        if (bitCount != (raw.compression == kRle8 ? 8 : 4))
            refuse(name, "RLE" + std::to_string(raw.compression == kRle8 ? 8 : 4) + " compression with " +
                             std::to_string(bitCount) + " bits a pixel");
        if (topDown) refuse(name, "a top-down picture cannot be RLE compressed");
        break;
    case kBitfields:
        if (bitCount != 16 && bitCount != 32)
            refuse(name, "bit-field compression with " + std::to_string(bitCount) + " bits a pixel");
        break;
    case 4: refuse(name, "BMP files holding JPEG data are not supported");
    case 5: refuse(name, "BMP files holding PNG data are not supported");
    default: refuse(name, "unknown compression " + std::to_string(raw.compression));
    }
}

/// The channels of a 16- or 32-bit picture from its bit masks (stated, or the
/// defaults). Returns where the tables after the info header end.
std::uint64_t readChannels(ByteSource& src, const RawHeader& raw, Layout& out, const std::string& name) {
    std::uint64_t tablesEnd = kFileHeaderSize + raw.headerSize;
    const int bitCount = raw.bitCount;
    if (bitCount != 16 && bitCount != 32) return tablesEnd;
    std::uint32_t masks[3];
    if (raw.compression == kBitfields) {
        if (raw.headerSize == 40) {
            if (tablesEnd + 12 > std::min(raw.fileLength, raw.pixelOffset))
                refuse(name, "the bit masks run past the start of the pixel data");
            const auto m = src.fetch(tablesEnd, 12);
            for (int i = 0; i < 3; ++i) masks[i] = le32(m.data() + 4 * i);
            tablesEnd += 12;
        } else {
            for (int i = 0; i < 3; ++i) masks[i] = le32(&raw.bytes[std::size_t(40 + 4 * i)]);
        }
    } else if (bitCount == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
    if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2]))
        refuse(name, "the red, green and blue bit masks overlap");
    const char* names[3] = {"red", "green", "blue"};
    for (int i = 0; i < 3; ++i) out.channels[std::size_t(i)] = makeChannel(masks[i], bitCount, names[i], name);
    return tablesEnd;
}

/// Checks that the pixel data starts after the tables and fits the file; sets the
/// row stride and the bytes the pixels may use.
void placePixelData(const RawHeader& raw, std::uint64_t tablesEnd, Layout& out, const std::string& name) {
    BmpHeader& hd = out.header;
    const std::uint64_t pixelOffset = raw.pixelOffset, fileLength = raw.fileLength;
    if (pixelOffset > fileLength)
        refuse(name, "the pixel data offset " + std::to_string(pixelOffset) + " is past the end of the file (" +
                         std::to_string(fileLength) + " bytes)");
    if (pixelOffset < tablesEnd)
        refuse(name, "the pixel data offset " + std::to_string(pixelOffset) +
                         " lies inside the headers and palette, which end at " + std::to_string(tablesEnd));

    out.stride = (std::uint64_t(raw.width) * std::uint64_t(raw.bitCount) + 31) / 32 * 4;
    const std::uint64_t available = fileLength - pixelOffset;
    if (raw.compression == kRle8 || raw.compression == kRle4) {
        if (raw.sizeImage > available)
            refuse(name, "the " + std::to_string(raw.sizeImage) + " bytes of RLE data run past the end of the file");
        hd.pixelBytes = raw.sizeImage != 0 ? raw.sizeImage : available;
    } else {
        hd.pixelBytes = out.stride * std::uint64_t(raw.height);
        if (hd.pixelBytes > available)
            refuse(name, "the pixel data is truncated: " + std::to_string(raw.width) + " x " +
                             std::to_string(raw.height) + " pixels at " + std::to_string(raw.bitCount) + " bits need " +
                             std::to_string(hd.pixelBytes) + " bytes from offset " + std::to_string(pixelOffset) +
                             ", the file holds " + std::to_string(available));
    }
}

/// Reads the palette's paletteSize entries from start (three bytes each in the
/// oldest form, four otherwise).
void readPalette(ByteSource& src, std::uint64_t start, int entryBytes, Layout& out) {
    BmpHeader& hd = out.header;
    const auto p = src.fetch(start, std::size_t(hd.paletteSize * entryBytes));
    Palette& pal = out.palette;
    pal.size = hd.paletteSize;
    for (int i = 0; i < pal.size; ++i) {
        const std::uint8_t* e = p.data() + i * entryBytes;
        pal.colour[std::size_t(i)] = rgb(e[2], e[1], e[0]);
        pal.isGrey[std::size_t(i)] = e[0] == e[1] && e[1] == e[2];
        pal.allGrey = pal.allGrey && pal.isGrey[std::size_t(i)];
    }
    hd.paletteGrey = pal.allGrey;
}

Layout readLayout(ByteSource& src, const std::string& name) {
    RawHeader raw = readRawHeader(src, name);
    Layout out;
    BmpHeader& hd = out.header;
    checkDimensions(raw, hd, name);
    checkCompression(raw, hd.topDown, name);
    std::uint64_t tablesEnd = readChannels(src, raw, out, name);

    const std::uint64_t paletteStart = tablesEnd;
    const int entryBytes = raw.core ? 3 : 4;
    if (raw.bitCount <= 8) {
        const std::uint32_t most = 1u << raw.bitCount;
        if (raw.coloursUsed > most)
            refuse(name, "a palette of " + std::to_string(raw.coloursUsed) + " colours is more than a " +
                             std::to_string(raw.bitCount) + "-bit picture can use");
        hd.paletteSize = int(raw.coloursUsed == 0 ? most : raw.coloursUsed);
        tablesEnd += std::uint64_t(hd.paletteSize) * std::uint64_t(entryBytes);
    }
    placePixelData(raw, tablesEnd, out, name);
    if (hd.paletteSize > 0) readPalette(src, paletteStart, entryBytes, out);

    hd.width = int(raw.width);
    hd.height = int(raw.height);
    hd.bitCount = raw.bitCount;
    hd.compression = raw.compression;
    hd.headerSize = raw.headerSize;
    hd.pixelOffset = raw.pixelOffset;
    return out;
}

/// Puts decoded pixels into the picture: the grey plane while every pixel so far is
/// grey, the colour plane from the first that is not.
class PlaneWriter {
public:
    PlaneWriter(HeightImage& image, const Palette& palette, const std::string& name, std::uint64_t budget)
        : m_image(image), m_palette(palette), m_name(name), m_budget(budget),
          m_width(std::size_t(image.width())) {
        for (std::size_t i = 0; i < 256; ++i) m_greyLevel[i] = std::uint8_t(palette.colour[i] & 0xFF);
    }

    bool grey() const noexcept { return m_grey; }
    std::uint8_t* greyRow(int y) noexcept { return m_image.grey() + std::size_t(y) * m_width; }
    Colour* colourRow(int y) noexcept { return m_image.colour() + std::size_t(y) * m_width; }

    void promote() {
        const std::uint64_t need = std::uint64_t(m_image.pixelCount()) * (1 + sizeof(Colour));
        if (need > m_budget) throw beyondBudgetError(m_name, need, m_budget);
        m_image.promoteToColour();
        m_grey = false;
    }

    /// A row of colours.
    void putColours(int y, const Colour* row) {
        if (m_grey) {
            std::uint8_t* g = greyRow(y);
            std::uint32_t mixed = 0;
            for (std::size_t x = 0; x < m_width; ++x) {
                const std::uint32_t c = std::uint32_t(row[x]);
                mixed |= c ^ ((c & 0xFF) * 0x010101u);
                g[x] = std::uint8_t(c);
            }
            if (mixed == 0) return;
            promote();
        }
        std::memcpy(colourRow(y), row, m_width * sizeof(Colour));
    }

    /// A row of palette indices, already checked against the palette.
    void putIndices(int y, const std::uint8_t* idx) {
        if (m_grey) {
            std::uint8_t* g = greyRow(y);
            if (m_palette.allGrey) {
                // The indices go straight into the plane's row and are looked up there.
                if (g != idx) std::memcpy(g, idx, m_width);
                pixelKernels().mapLevels(g, m_width, m_greyLevel.data());
                return;
            }
            std::uint8_t allGrey = 1;
            for (std::size_t x = 0; x < m_width; ++x) {
                allGrey &= m_palette.isGrey[idx[x]];
                g[x] = m_greyLevel[idx[x]];
            }
            if (allGrey) return;
            promote();
        }
        Colour* c = colourRow(y);
        for (std::size_t x = 0; x < m_width; ++x) c[x] = m_palette.colour[idx[x]];
    }

    /// One palette index at (x, y), already checked against the palette.
    void putIndex(int x, int y, std::uint8_t idx) {
        if (m_grey) {
            if (m_palette.isGrey[idx]) {
                greyRow(y)[x] = m_greyLevel[idx];
                return;
            }
            promote();
        }
        colourRow(y)[x] = m_palette.colour[idx];
    }

    /// A row of 24-bit blue-green-red pixels.
    void putBgr(int y, const std::uint8_t* p) {
        if (m_grey) {
            if (unpackBgrToGrey(p, m_width, greyRow(y))) return;
            promote();
        }
        Colour* c = colourRow(y);
        for (std::size_t x = 0; x < m_width; ++x) c[x] = rgb(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
    }

private:
    HeightImage& m_image;
    const Palette& m_palette;
    const std::string& m_name;
    std::uint64_t m_budget;
    std::size_t m_width;
    bool m_grey = true;
    std::array<std::uint8_t, 256> m_greyLevel{};
};

void checkIndices(const std::uint8_t* idx, std::size_t n, const Palette& pal, const std::string& name) {
    std::uint8_t most = 0;
    for (std::size_t i = 0; i < n; ++i) most = std::max(most, idx[i]);
    if (n > 0 && most >= pal.size)
        refuse(name, "palette index " + std::to_string(most) + " is beyond the " + std::to_string(pal.size) +
                         "-colour palette");
}

void decodeRows(ByteSource& src, const Layout& lay, PlaneWriter& out, const std::string& name) {
    const BmpHeader& hd = lay.header;
    const std::size_t w = std::size_t(hd.width);
    std::vector<std::uint8_t> indices(hd.bitCount < 8 ? w : 0);
    std::vector<Colour> colours(hd.bitCount == 16 || hd.bitCount == 32 ? w : 0);
    const auto& [red, green, blue] = lay.channels;
    for (int fileRow = 0; fileRow < hd.height; ++fileRow) {
        const int y = hd.topDown ? fileRow : hd.height - 1 - fileRow;
        const std::uint8_t* p =
            src.fetch(hd.pixelOffset + std::uint64_t(fileRow) * lay.stride, std::size_t(lay.stride)).data();
        switch (hd.bitCount) {
        case 1:
            for (std::size_t x = 0; x < w; ++x) indices[x] = (p[x >> 3] >> (7 - (x & 7))) & 1;
            checkIndices(indices.data(), w, lay.palette, name);
            out.putIndices(y, indices.data());
            break;
        case 4:
            for (std::size_t x = 0; x < w; ++x) indices[x] = (x & 1) ? (p[x >> 1] & 0x0F) : (p[x >> 1] >> 4);
            checkIndices(indices.data(), w, lay.palette, name);
            out.putIndices(y, indices.data());
            break;
        case 8:
            checkIndices(p, w, lay.palette, name);
            out.putIndices(y, p);
            break;
        case 16:
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint32_t v = le16(p + 2 * x);
                colours[x] = rgb(red(v), green(v), blue(v));
            }
            out.putColours(y, colours.data());
            break;
        case 24: out.putBgr(y, p); break;
        case 32:
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint32_t v = le32(p + 4 * x);
                colours[x] = rgb(red(v), green(v), blue(v));
            }
            out.putColours(y, colours.data());
            break;
        default: refuse(name, "unsupported bit depth " + std::to_string(hd.bitCount));
        }
    }
}

/// Reads RLE data a byte at a time out of source windows.
class ByteCursor {
public:
    ByteCursor(ByteSource& src, std::uint64_t start, std::uint64_t end, const std::string& name)
        : m_src(src), m_pos(start), m_end(end), m_name(name) {}

    bool atEnd() const noexcept { return m_at == m_window.size() && m_pos == m_end; }

    std::uint8_t next() {
        if (m_at == m_window.size()) {
            if (m_pos == m_end) refuse(m_name, "the RLE data ends before its end-of-picture mark");
            const std::size_t n = std::size_t(std::min<std::uint64_t>(m_end - m_pos, std::uint64_t(64) << 10));
            m_window = m_src.fetch(m_pos, n);
            m_pos += n;
            m_at = 0;
        }
        return m_window[m_at++];
    }

private:
    ByteSource& m_src;
    std::uint64_t m_pos, m_end;
    const std::string& m_name;
    std::span<const std::uint8_t> m_window;
    std::size_t m_at = 0;
};

void decodeRle(ByteSource& src, const Layout& lay, PlaneWriter& out, const std::string& name) {
    const BmpHeader& hd = lay.header;
    const bool four = hd.compression == kRle4;
    const int w = hd.width, h = hd.height;
    ByteCursor in(src, hd.pixelOffset, hd.pixelOffset + hd.pixelBytes, name);
    int x = 0, row = 0;  // row counts from the bottom
    auto checkRun = [&](int count) {
        if (row >= h) refuse(name, "the RLE data runs past the last row");
        if (count > w - x)
            refuse(name, "an RLE run of " + std::to_string(count) + " pixels crosses the end of row " +
                             std::to_string(h - 1 - row));
    };
    auto put = [&](std::uint8_t idx) {
        if (idx >= lay.palette.size)
            refuse(name, "palette index " + std::to_string(idx) + " is beyond the " +
                             std::to_string(lay.palette.size) + "-colour palette");
        out.putIndex(x++, h - 1 - row, idx);
    };
    for (;;) {
        if (row >= h && in.atEnd()) return;
        const int count = in.next();
        const std::uint8_t value = in.next();
        if (count > 0) {
            checkRun(count);
            for (int i = 0; i < count; ++i) put(four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0:
            if (row >= h) refuse(name, "the RLE data runs past the last row");
            x = 0;
            ++row;
            break;
        case 1: return;
        case 2: {
            const int dx = in.next(), dy = in.next();
            if (row >= h || x + dx > w || row + dy > h) refuse(name, "an RLE jump leaves the picture");
            x += dx;
            row += dy;
            break;
        }
        default: {
            checkRun(value);
            if (four) {
                std::uint8_t pair = 0;
                for (int i = 0; i < value; ++i) {
                    if ((i & 1) == 0) pair = in.next();
                    put((i & 1) ? pair & 0x0F : pair >> 4);
                }
                if (((value + 1) / 2) & 1) in.next();
            } else {
                for (int i = 0; i < value; ++i) put(in.next());
                if (value & 1) in.next();
            }
        }
        }
    }
}

void put16(std::uint8_t* p, unsigned v) noexcept {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) noexcept {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

std::uint64_t stride24(int width) noexcept { return (std::uint64_t(width) * 3 + 3) / 4 * 4; }

}  // namespace

BmpHeader readBmpHeader(ByteSource& source, const std::string& name) { return readLayout(source, name).header; }

HeightImage decodeBmp(ByteSource& source, const std::string& name, std::uint64_t memoryBudget) {
    const Layout lay = readLayout(source, name);
    const std::uint64_t need = std::uint64_t(lay.header.width) * std::uint64_t(lay.header.height);
    if (need > memoryBudget) throw beyondBudgetError(name, need, memoryBudget);
    // Run-length data may skip pixels, which stay black; rows of pixels cover the
    // whole picture, so its plane is not cleared first.
    const bool rle = lay.header.compression == kRle8 || lay.header.compression == kRle4;
    HeightImage image = rle ? HeightImage(lay.header.width, lay.header.height)
                            : HeightImage(lay.header.width, lay.header.height, HeightImage::Unset{});
    PlaneWriter out(image, lay.palette, name, memoryBudget);
    if (rle)
        decodeRle(source, lay, out, name);
    else
        decodeRows(source, lay, out, name);
    return image;
}

std::uint64_t bmp24FileSize(int width, int height) noexcept {
    return 54 + stride24(width) * std::uint64_t(height);
}

void writeBmp24(const HeightImage& image, const ByteSink& sink) {
    const int w = image.width(), h = image.height();
    const std::size_t stride = std::size_t(stride24(w));
    std::array<std::uint8_t, 54> head{};
    head[0] = 'B';
    head[1] = 'M';
    put32(&head[2], std::uint32_t(bmp24FileSize(w, h)));
    put32(&head[10], 54);
    put32(&head[14], 40);
    put32(&head[18], std::uint32_t(w));
    put32(&head[22], std::uint32_t(h));
    put16(&head[26], 1);
    put16(&head[28], 24);
    put32(&head[34], std::uint32_t(stride * std::size_t(h)));
    put32(&head[38], 2835);
    put32(&head[42], 2835);
    sink(head.data(), head.size());

    // Rows are packed into a chunk small enough to stay in the processor's cache
    // while the sink writes it out; only each row's padding needs setting besides
    // its pixels.
    const std::size_t rowsPerChunk = std::max<std::size_t>(1, FileSource::kReadChunk / stride);
    const std::size_t chunkBytes = rowsPerChunk * stride;
    const std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[chunkBytes]);
    std::size_t used = 0;
    const std::size_t width = std::size_t(w);
    for (int y = h - 1; y >= 0; --y) {
        std::uint8_t* p = chunk.get() + used;
        std::memset(p + 3 * width, 0, stride - 3 * width);
        if (image.isGrey()) {
            packGreyToBgr(image.grey() + std::size_t(y) * width, width, p);
        } else {
            const Colour* c = image.colour() + std::size_t(y) * width;
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t v = std::uint32_t(c[x]);
                p[3 * x] = std::uint8_t(v >> 16);
                p[3 * x + 1] = std::uint8_t(v >> 8);
                p[3 * x + 2] = std::uint8_t(v);
            }
        }
        used += stride;
        if (used == chunkBytes || y == 0) {
            sink(chunk.get(), used);
            used = 0;
        }
    }
}

}  // namespace morv
