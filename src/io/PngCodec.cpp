#include "io/PngCodec.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <exception>
#include <vector>

#include "core/RuntimeError.h"
#include "io/ImageIO.h"

namespace morv {

bool hasPngSignature(const std::uint8_t* bytes, std::size_t n) noexcept {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return n >= 8 && std::memcmp(bytes, kSignature, 8) == 0;
}

namespace {

// libpng reports errors by longjmp. Every function below that calls into libpng
// sets its own jump point and holds only plain data, so no destructor is skipped;
// C++ objects live in the callers.

/// The compressed image data libpng takes in one piece (half its default): also
/// what may follow the last row: a few MB at most once inflated.
constexpr std::size_t kImageDataPiece = 4096;

/// The image data chunk's type, as libpng names the chunk being read.
constexpr png_uint_32 kImageDataChunk = 0x49444154;  // "IDAT"

/// What the callbacks share with the decoder.
struct PngIo {
    ByteSource* source = nullptr;
    std::uint64_t position = 0;
    png_uint_32 height = 0;      ///< The picture's rows, once the header is read.
    bool interlaced = false;
    std::uint64_t dataAfterRows = 0;  ///< Compressed image bytes asked for after the last row.
    const ByteSink* sink = nullptr;
    std::exception_ptr failure;  ///< A C++ exception met inside a callback.
    char message[200] = {};      ///< libpng's first complaint.
};

PngIo& ioOf(png_structp png) { return *static_cast<PngIo*>(png_get_error_ptr(png)); }

void onError(png_structp png, png_const_charp message) {
    PngIo& io = ioOf(png);
    if (io.message[0] == '\0') std::snprintf(io.message, sizeof io.message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

/// Whether libpng has made every row of the picture: what it inflates from then on
/// can only be the end of the stream or data the picture has no room for.
bool rowsComplete(png_structp png, const PngIo& io) {
    if (io.height == 0) return false;
    return io.interlaced ? png_get_current_pass_number(png) >= 7 : png_get_current_row_number(png) >= io.height;
}

/// Image data that goes on after the last row is refused at the next piece, before
/// it is inflated: a small file could otherwise inflate for seconds (or minutes)
/// only to be refused at its end. A sound stream ends within the first piece.
bool tooMuchImageData(png_structp png, PngIo& io, std::size_t n) {
    if ((png_get_io_state(png) & PNG_IO_MASK_LOC) != PNG_IO_CHUNK_DATA || png_get_io_chunk_type(png) != kImageDataChunk ||
        !rowsComplete(png, io))
        return false;
    io.dataAfterRows += n;
    return io.dataAfterRows > kImageDataPiece;
}

void readBytes(png_structp png, png_bytep out, std::size_t n) {
    PngIo& io = *static_cast<PngIo*>(png_get_io_ptr(png));
    bool failed = false;
    if (tooMuchImageData(png, io, n)) {
        std::snprintf(io.message, sizeof io.message, "more image data than the picture's %lu rows hold",
                      static_cast<unsigned long>(io.height));
        failed = true;
    } else if (io.position + n > io.source->size()) {
        std::snprintf(io.message, sizeof io.message, "the file ends inside the PNG data (%llu bytes)",
                      static_cast<unsigned long long>(io.source->size()));
        failed = true;
    } else {
        try {
            while (n > 0) {
                const std::size_t part = std::min(n, ByteSource::kMaxFetch);
                const auto bytes = io.source->fetch(io.position, part);
                std::memcpy(out, bytes.data(), part);
                out += part;
                io.position += part;
                n -= part;
            }
        } catch (...) {
            io.failure = std::current_exception();
            failed = true;
        }
    }
    if (failed) png_error(png, "read failed");
}

void writeBytes(png_structp png, png_bytep data, std::size_t n) {
    PngIo& io = *static_cast<PngIo*>(png_get_io_ptr(png));
    bool failed = false;
    try {
        (*io.sink)(data, n);
    } catch (...) {
        io.failure = std::current_exception();
        failed = true;
    }
    if (failed) png_error(png, "write failed");
}

void flushNothing(png_structp) {}

struct Header {
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
};

bool readHeader(png_structp png, png_infop info, Header& h) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    png_get_IHDR(png, info, &h.width, &h.height, &h.bitDepth, &h.colourType, &h.interlace, nullptr, nullptr);
    return true;
}

/// Sets the transformations to one byte a grey sample, two for 16-bit grey, or three
/// bytes of colour a pixel; returns the bytes a pixel then takes.
bool setTransforms(png_structp png, png_infop info, const Header& h, int& pixelBytes, int& passes) {
    if (setjmp(png_jmpbuf(png))) return false;
    const bool grey = (h.colourType & PNG_COLOR_MASK_COLOR) == 0;
    if (h.colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (grey && h.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    // A palette with a transparency chunk expands to red, green, blue and alpha.
    if ((h.colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS)) png_set_strip_alpha(png);
    if (h.bitDepth == 16) {
        if (grey) png_set_swap(png);  // samples in the machine's order
        else png_set_scale_16(png);
    }
    passes = png_set_interlace_handling(png);
    pixelBytes = grey ? (h.bitDepth == 16 ? 2 : 1) : 3;
    // The rows are read into buffers of that size: libpng must agree.
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(h.width) * std::size_t(pixelBytes))
        png_error(png, "unexpected row layout after the transformations");
    return true;
}

bool readRows(png_structp png, png_bytepp rows, png_uint_32 count, int passes) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (int p = 0; p < passes; ++p) png_read_rows(png, rows, nullptr, count);
    return true;
}

bool readEnd(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_end(png, info);
    return true;
}

class ReadStruct {
public:
    explicit ReadStruct(PngIo& io) {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, onError, onWarning);
        if (m_png) m_info = png_create_info_struct(m_png);
        if (!m_png || !m_info) throw std::bad_alloc();
    }
    ~ReadStruct() { png_destroy_read_struct(&m_png, &m_info, nullptr); }
    ReadStruct(const ReadStruct&) = delete;
    ReadStruct& operator=(const ReadStruct&) = delete;
    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

[[noreturn]] void refuse(const PngIo& io, const std::string& name, const char* stage) {
    if (io.failure) std::rethrow_exception(io.failure);
    throw pictureError(name, std::string("damaged PNG ") + stage + ": " + (io.message[0] ? io.message : "unknown fault"));
}

}  // namespace

DecodedPicture decodePng(ByteSource& source, const std::string& name, const LevelOptions& options,
                         std::uint64_t memoryBudget) {
    if (source.size() < 8 || !hasPngSignature(source.fetch(0, 8).data(), 8))
        throw pictureError(name, "not a PNG file (its signature is missing)");
    PngIo io;
    io.source = &source;
    ReadStruct s(io);
    png_set_read_fn(s.png(), &io, readBytes);
    // Strict: a wrong checksum in any chunk is an error, not a warning, and libpng's
    // "benign" errors (such as extra data after the image) are errors too.
    png_set_crc_action(s.png(), PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_set_benign_errors(s.png(), 0);
    // Our own limits apply below; libpng's only guard against absurd headers.
    png_set_user_limits(s.png(), 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_compression_buffer_size(s.png(), kImageDataPiece);
    // Text, colour profiles and suggested palettes are of no use to a height map:
    // they are passed over unread (their checksums still checked), so that
    // compressed ones cannot cost seconds of inflating, nor many of them be
    // refused for filling libpng's cache.
    static const png_byte kIgnored[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf";
    png_set_keep_unknown_chunks(s.png(), PNG_HANDLE_CHUNK_NEVER, kIgnored, int(sizeof kIgnored / 5));

    Header h;
    if (!readHeader(s.png(), s.info(), h)) refuse(io, name, "header");
    checkPictureSize(name, h.width, h.height);
    io.height = h.height;
    io.interlaced = h.interlace != PNG_INTERLACE_NONE;
    int pixelBytes = 0, passes = 1;
    if (!setTransforms(s.png(), s.info(), h, pixelBytes, passes)) refuse(io, name, "header");

    const std::uint64_t pixels = std::uint64_t(h.width) * h.height;
    const bool deep = pixelBytes == 2;
    const bool whole = deep || passes > 1;  // rows kept for the mapping or interlacing
    // Our grey plane, the decoded samples when they are kept whole, and for colour
    // the promoted plane that briefly stands beside the grey one.
    checkPictureMemory(name, pixels * (1 + (whole ? pixelBytes : 0) + (pixelBytes == 3 ? 4 : 0)), memoryBudget);

    DecodedPicture out{HeightImage(int(h.width), int(h.height)), std::nullopt};
    const std::size_t stride = std::size_t(h.width) * std::size_t(pixelBytes);
    if (!whole && pixelBytes == 1) {
        // Grey rows land straight in the picture.
        std::vector<png_bytep> rows(h.height);
        for (png_uint_32 y = 0; y < h.height; ++y) rows[y] = out.image.grey() + std::size_t(y) * stride;
        if (!readRows(s.png(), rows.data(), h.height, passes)) refuse(io, name, "data");
    } else if (!whole) {
        std::vector<std::uint8_t> row(stride);
        png_bytep rowPointer = row.data();
        for (png_uint_32 y = 0; y < h.height; ++y) {
            if (!readRows(s.png(), &rowPointer, 1, 1)) refuse(io, name, "data");
            storeRgbRow(out.image, int(y), row.data(), 3);
        }
    } else {
        std::vector<std::uint8_t> plane(std::size_t(pixels) * std::size_t(pixelBytes));
        std::vector<png_bytep> rows(h.height);
        for (png_uint_32 y = 0; y < h.height; ++y) rows[y] = plane.data() + std::size_t(y) * stride;
        if (!readRows(s.png(), rows.data(), h.height, passes)) refuse(io, name, "data");
        if (deep) {
            out.mapping = storeDeepGrey(out.image, reinterpret_cast<const std::uint16_t*>(plane.data()), options);
        } else if (pixelBytes == 1) {
            std::memcpy(out.image.grey(), plane.data(), plane.size());
        } else {
            for (png_uint_32 y = 0; y < h.height; ++y) storeRgbRow(out.image, int(y), rows[y], 3);
        }
    }
    if (!readEnd(s.png(), s.info())) refuse(io, name, "end");
    return out;
}

namespace {

class WriteStruct {
public:
    explicit WriteStruct(PngIo& io) {
        m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, onError, onWarning);
        if (m_png) m_info = png_create_info_struct(m_png);
        if (!m_png || !m_info) throw std::bad_alloc();
    }
    ~WriteStruct() { png_destroy_write_struct(&m_png, &m_info); }
    WriteStruct(const WriteStruct&) = delete;
    WriteStruct& operator=(const WriteStruct&) = delete;
    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

bool writeHeader(png_structp png, png_infop info, int w, int h, bool colour) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, colour ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Height maps are smooth: the "up" filter and a fast deflate level make files
    // close to the smallest at a fraction of the time.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    return true;
}

bool writeRow(png_structp png, png_const_bytep row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_write_row(png, row);
    return true;
}

bool writeEnd(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_write_end(png, info);
    return true;
}

[[noreturn]] void writeFailed(const PngIo& io) {
    if (io.failure) std::rethrow_exception(io.failure);
    throw RuntimeError(err::InvalidPicture, std::string("PNG encoding failed: ") + io.message);
}

}  // namespace

void writePng(const HeightImage& image, bool colour, const ByteSink& sink) {
    colour = colour || !image.isGrey();
    PngIo io;
    io.sink = &sink;
    WriteStruct s(io);
    png_set_write_fn(s.png(), &io, writeBytes, flushNothing);
    const int w = image.width(), h = image.height();
    if (!writeHeader(s.png(), s.info(), w, h, colour)) writeFailed(io);
    std::vector<std::uint8_t> row(colour ? std::size_t(w) * 3 : 0);
    for (int y = 0; y < h; ++y) {
        const std::size_t at = std::size_t(y) * std::size_t(w);
        const std::uint8_t* bytes = nullptr;
        if (!colour) {
            bytes = image.grey() + at;
        } else {
            for (int x = 0; x < w; ++x) {
                const Colour c = image.isGrey() ? fcnGrayColor(image.grey()[at + std::size_t(x)])
                                                : image.colour()[at + std::size_t(x)];
                row[std::size_t(x) * 3] = std::uint8_t(c);
                row[std::size_t(x) * 3 + 1] = std::uint8_t(c >> 8);
                row[std::size_t(x) * 3 + 2] = std::uint8_t(c >> 16);
            }
            bytes = row.data();
        }
        if (!writeRow(s.png(), bytes)) writeFailed(io);
    }
    if (!writeEnd(s.png(), s.info())) writeFailed(io);
}

}  // namespace morv
