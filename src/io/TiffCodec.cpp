#include "io/TiffCodec.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "core/RuntimeError.h"
#include "io/ImageIO.h"

namespace morv {

bool hasTiffSignature(const std::uint8_t* b, std::size_t n) noexcept {
    return n >= 4 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                      (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42) ||
                      (b[0] == 'I' && b[1] == 'I' && b[2] == 43 && b[3] == 0) ||
                      (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 43));
}

namespace {

/// The reader's state, shared with libtiff's callbacks.
struct TiffIo {
    ByteSource* source = nullptr;
    std::uint64_t position = 0;
    std::string name;
    std::exception_ptr failure;
    std::string message;
};

tmsize_t readProc(thandle_t h, void* buf, tmsize_t size) {
    auto& io = *static_cast<TiffIo*>(h);
    if (size <= 0) return 0;
    const std::uint64_t left = io.position < io.source->size() ? io.source->size() - io.position : 0;
    std::size_t n = std::size_t(std::min<std::uint64_t>(std::uint64_t(size), left));
    auto* out = static_cast<std::uint8_t*>(buf);
    const std::size_t total = n;
    try {
        while (n > 0) {
            const std::size_t part = std::min(n, ByteSource::kMaxFetch);
            std::memcpy(out, io.source->fetch(io.position, part).data(), part);
            out += part;
            io.position += part;
            n -= part;
        }
    } catch (...) {
        if (!io.failure) io.failure = std::current_exception();
        return -1;
    }
    return tmsize_t(total);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto& io = *static_cast<TiffIo*>(h);
    std::uint64_t base = whence == SEEK_CUR ? io.position : whence == SEEK_END ? io.source->size() : 0;
    io.position = base + offset;
    return io.position;
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return static_cast<TiffIo*>(h)->source->size(); }

/// Keeps libtiff's first complaint as a plain reason: without the name of the
/// libtiff function that raised it, and without the file's name, which the
/// refusal gives once already.
int onError(TIFF*, void* user, const char*, const char* fmt, va_list ap) {
    auto& io = *static_cast<TiffIo*>(user);
    if (io.message.empty()) {
        char buf[300];
        std::vsnprintf(buf, sizeof buf, fmt, ap);
        io.message = buf;
        const std::string named = io.name + ": ";
        if (!io.name.empty() && io.message.rfind(named, 0) == 0) io.message.erase(0, named.size());
    }
    return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

class TiffFile {
public:
    TiffFile(TiffIo& io, const std::string& name) {
        TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
        TIFFOpenOptionsSetErrorHandlerExtR(opts, onError, &io);
        TIFFOpenOptionsSetWarningHandlerExtR(opts, onWarning, &io);
        m_tif = TIFFClientOpenExt(name.c_str(), "rm", &io, readProc, writeProc, seekProc, closeProc, sizeProc,
                                  nullptr, nullptr, opts);
        TIFFOpenOptionsFree(opts);
    }
    ~TiffFile() {
        if (m_tif) TIFFClose(m_tif);
    }
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;
    TIFF* get() const { return m_tif; }

private:
    TIFF* m_tif = nullptr;
};

[[noreturn]] void refuse(const TiffIo& io, const std::string& name, const std::string& what) {
    if (io.failure) std::rethrow_exception(io.failure);
    throw pictureError(name, what + (io.message.empty() ? std::string() : ": " + io.message));
}

/// The fields that decide how samples are laid out and read.
struct Layout {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG,
                  format = SAMPLEFORMAT_UINT;
};

Layout readLayout(TIFF* tif, const TiffIo& io, const std::string& name) {
    Layout l;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height))
        refuse(io, name, "damaged TIFF header (no picture size)");
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.format);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
        l.photometric = l.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    checkPictureSize(name, l.width, l.height);
    const bool grey = l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE;
    const bool ok = l.format == SAMPLEFORMAT_UINT &&
                    ((grey && l.samples >= 1 && (l.bits == 1 || l.bits == 8 || l.bits == 16)) ||
                     (l.photometric == PHOTOMETRIC_PALETTE && l.samples == 1 && l.bits == 8) ||
                     (l.photometric == PHOTOMETRIC_RGB && l.samples >= 3 && (l.bits == 8 || l.bits == 16)));
    if (!ok)
        throw pictureError(name, "unsupported TIFF picture (" + std::to_string(l.samples) + " samples of " +
                                     std::to_string(l.bits) + " bits, photometric " + std::to_string(l.photometric) +
                                     ", sample format " + std::to_string(l.format) +
                                     "): grey, palette or colour of 8 or 16 bits can be read");
    if (l.planar != PLANARCONFIG_CONTIG && l.samples > 1)
        throw pictureError(name, "unsupported TIFF picture (channels stored in separate planes)");
    if (!TIFFIsCODECConfigured([&] {
            std::uint16_t c = COMPRESSION_NONE;
            TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &c);
            return c;
        }()))
        throw pictureError(name, "unsupported TIFF compression");
    return l;
}

/// How the picture's data is cut up: strips of rows, or tiles of tileBytes each.
struct Pieces {
    bool tiled = false;
    std::uint32_t tileWidth = 0, tileLength = 0;
    std::uint64_t tileBytes = 0;
};

/// Tile sides are multiples of 16, and no picture is wider or taller than
/// kMaxPictureSide: a larger tile could only hold padding.
constexpr std::uint32_t kMaxTileSide = (std::uint32_t(kMaxPictureSide) + 16) / 16 * 16;

/// Refuses as damaged, before anything is allocated or read, tiles larger than any
/// picture needs and any strip or tile that is empty or lies (wholly or partly)
/// beyond the end of the file. Uncompressed pieces are read whole, whatever their
/// byte count says, so they must fit in the file at their full size.
Pieces checkPieces(TIFF* tif, const Layout& l, std::size_t rowBytes, std::uint64_t fileSize, const TiffIo& io,
                   const std::string& name) {
    Pieces p;
    p.tiled = TIFFIsTiled(tif);
    if (p.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &p.tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &p.tileLength);
        if (p.tileWidth == 0 || p.tileLength == 0 || p.tileWidth > kMaxTileSide || p.tileLength > kMaxTileSide)
            throw pictureError(name, "damaged TIFF header: tiles of " + std::to_string(p.tileWidth) + " x " +
                                         std::to_string(p.tileLength) + " pixels");
        p.tileBytes = TIFFTileSize64(tif);
        if (p.tileBytes == 0) refuse(io, name, "damaged TIFF tiles");
    }
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    std::uint32_t rowsPerStrip = l.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, l.height);
    const std::uint32_t count = p.tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const std::string kind = p.tiled ? "tile " : "strip ";
    std::uint64_t stored = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        int missing = 0;
        const std::uint64_t offset = TIFFGetStrileOffsetWithErr(tif, i, &missing);
        std::uint64_t bytes = TIFFGetStrileByteCountWithErr(tif, i, &missing);
        if (missing) refuse(io, name, "damaged TIFF header (the " + kind + "list is cut short)");
        if (compression == COMPRESSION_NONE && bytes > 0) {
            const std::uint64_t firstRow = std::uint64_t(i) * rowsPerStrip;
            const std::uint64_t rows = firstRow < l.height ? std::min<std::uint64_t>(rowsPerStrip, l.height - firstRow) : 0;
            bytes = std::max<std::uint64_t>(bytes, p.tiled ? p.tileBytes : rows * rowBytes);
        }
        if (bytes == 0)
            throw pictureError(name, "damaged TIFF: " + kind + std::to_string(i) + " is empty");
        if (offset > fileSize || bytes > fileSize - offset)
            throw pictureError(name, "damaged TIFF: " + kind + std::to_string(i) + " lies beyond the end of the file (" +
                                         std::to_string(bytes) + " bytes at byte " + std::to_string(offset) +
                                         " of a file of " + std::to_string(fileSize) + " bytes)");
        stored += bytes;
    }
    // Each of these codecs makes at most so many bytes of one: a picture larger than
    // its data could hold is damaged, found before its plane is allocated.
    const std::uint64_t most = compression == COMPRESSION_PACKBITS                                         ? 64
                               : compression == COMPRESSION_LZW                                            ? 4096
                               : compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE ? 1032
                                                                                                            : 0;
    const std::uint64_t decoded = p.tiled ? std::uint64_t(count) * p.tileBytes : std::uint64_t(rowBytes) * l.height;
    if (most && stored < decoded / most)
        throw pictureError(name, "damaged TIFF: " + std::to_string(stored) + " bytes of compressed data cannot hold " +
                                     std::to_string(decoded) + " bytes of picture");
    return p;
}

/// Reads every strip or tile into plane (rows of width x bytesPerPixel bytes,
/// 1-bit rows packed to whole bytes).
void readPlane(TIFF* tif, const Layout& l, const Pieces& pieces, std::size_t rowBytes, std::uint8_t* plane,
               const TiffIo& io, const std::string& name) {
    if (pieces.tiled) {
        const std::uint32_t tw = pieces.tileWidth, th = pieces.tileLength;
        const auto tileSize = tmsize_t(pieces.tileBytes);
        const std::size_t tileRow = std::size_t(TIFFTileRowSize(tif));
        std::vector<std::uint8_t> tile(static_cast<std::size_t>(tileSize));
        const std::size_t pixelBits = std::size_t(l.bits) * l.samples;
        for (std::uint32_t ty = 0; ty < l.height; ty += th)
            for (std::uint32_t tx = 0; tx < l.width; tx += tw) {
                const ttile_t index = TIFFComputeTile(tif, tx, ty, 0, 0);
                if (TIFFReadEncodedTile(tif, index, tile.data(), tileSize) != tileSize)
                    refuse(io, name, "damaged or truncated TIFF tile " + std::to_string(index));
                const std::size_t x0 = tx * pixelBits / 8;
                const std::size_t n = std::min<std::size_t>(tileRow, rowBytes - x0);
                for (std::uint32_t y = 0; y < th && ty + y < l.height; ++y)
                    std::memcpy(plane + std::size_t(ty + y) * rowBytes + x0, tile.data() + y * tileRow, n);
            }
        return;
    }
    std::uint32_t rowsPerStrip = l.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, l.height);
    const tstrip_t strips = TIFFNumberOfStrips(tif);
    for (tstrip_t s = 0; s < strips; ++s) {
        const std::uint64_t firstRow = std::uint64_t(s) * rowsPerStrip;
        if (firstRow >= l.height) break;
        const std::uint64_t rows = std::min<std::uint64_t>(rowsPerStrip, l.height - firstRow);
        const tmsize_t want = tmsize_t(rows * rowBytes);
        if (TIFFReadEncodedStrip(tif, s, plane + firstRow * rowBytes, want) != want)
            refuse(io, name, "damaged or truncated TIFF strip " + std::to_string(s));
    }
    if (std::uint64_t(strips) * rowsPerStrip < l.height) refuse(io, name, "the TIFF strips do not cover the picture");
}

}  // namespace

std::pair<int, int> readTiffSize(ByteSource& source, const std::string& name) {
    TiffIo io;
    io.source = &source;
    TiffFile file(io, name);
    if (!file.get()) refuse(io, name, "damaged TIFF header");
    const Layout l = readLayout(file.get(), io, name);
    return {int(l.width), int(l.height)};
}

DecodedPicture decodeTiff(ByteSource& source, const std::string& name, const LevelOptions& options,
                          std::uint64_t memoryBudget) {
    TiffIo io;
    io.source = &source;
    io.name = name;
    TiffFile file(io, name);
    if (!file.get()) refuse(io, name, "damaged TIFF header");
    TIFF* tif = file.get();
    const Layout l = readLayout(tif, io, name);

    const std::size_t rowBytes = (std::size_t(l.width) * l.bits * l.samples + 7) / 8;
    const std::uint64_t pixels = std::uint64_t(l.width) * l.height;
    const bool colour = l.photometric == PHOTOMETRIC_RGB;
    const Pieces pieces = checkPieces(tif, l, rowBytes, source.size(), io, name);
    // The file's plane, one tile while it is read, and our own planes (grey, or
    // colour beside the grey it is promoted from).
    checkPictureMemory(name, std::uint64_t(rowBytes) * l.height + pieces.tileBytes + pixels * (colour ? 5 : 1),
                       memoryBudget);

    std::vector<std::uint8_t> plane(rowBytes * l.height);
    readPlane(tif, l, pieces, rowBytes, plane.data(), io, name);

    DecodedPicture out{HeightImage(int(l.width), int(l.height)), std::nullopt};
    const bool invert = l.photometric == PHOTOMETRIC_MINISWHITE;
    const std::size_t w = l.width;
    if (l.photometric == PHOTOMETRIC_PALETTE) {
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) refuse(io, name, "damaged TIFF palette");
        std::vector<std::uint8_t> rgb(w * 3);
        auto eight = [](std::uint16_t v) { return std::uint8_t((v * 255u + 32767u) / 65535u); };
        for (std::uint32_t y = 0; y < l.height; ++y) {
            const std::uint8_t* row = plane.data() + y * rowBytes;
            for (std::size_t x = 0; x < w; ++x) {
                rgb[x * 3] = eight(r[row[x]]);
                rgb[x * 3 + 1] = eight(g[row[x]]);
                rgb[x * 3 + 2] = eight(b[row[x]]);
            }
            storeRgbRow(out.image, int(y), rgb.data(), 3);
        }
    } else if (!colour && l.bits == 16) {
        std::vector<std::uint16_t> samples(static_cast<std::size_t>(pixels));
        for (std::uint32_t y = 0; y < l.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint16_t*>(plane.data() + y * rowBytes);
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint16_t v = row[x * l.samples];
                samples[y * w + x] = invert ? std::uint16_t(65535 - v) : v;
            }
        }
        plane.clear();
        plane.shrink_to_fit();
        out.mapping = storeDeepGrey(out.image, samples.data(), options);
    } else if (!colour) {
        for (std::uint32_t y = 0; y < l.height; ++y) {
            const std::uint8_t* row = plane.data() + y * rowBytes;
            std::uint8_t* g = out.image.grey() + y * w;
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint8_t v = l.bits == 1 ? ((row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0) : row[x * l.samples];
                g[x] = invert ? std::uint8_t(255 - v) : v;
            }
        }
    } else {
        std::vector<std::uint8_t> rgb(w * 3);
        for (std::uint32_t y = 0; y < l.height; ++y) {
            const std::uint8_t* row = plane.data() + y * rowBytes;
            for (std::size_t x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    if (l.bits == 8) {
                        rgb[x * 3 + std::size_t(c)] = row[x * l.samples + std::size_t(c)];
                    } else {
                        const std::uint16_t v = reinterpret_cast<const std::uint16_t*>(row)[x * l.samples + std::size_t(c)];
                        rgb[x * 3 + std::size_t(c)] = std::uint8_t((v * 255u + 32767u) / 65535u);
                    }
                }
            storeRgbRow(out.image, int(y), rgb.data(), 3);
        }
    }
    return out;
}

}  // namespace morv
