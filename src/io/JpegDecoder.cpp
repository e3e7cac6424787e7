#include "io/JpegDecoder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

// libjpeg's headers need FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "core/RuntimeError.h"

namespace morv {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int code = 0;
    char message[JMSG_LENGTH_MAX] = {};
};

struct SourceManager {
    jpeg_source_mgr pub;
    int fd = -1;
    int readErrno = 0;
    JOCTET buffer[kReadChunk];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->code = err->pub.msg_code;
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    // Warnings mean damaged or missing data that the library would fill with grey;
    // a height map with made-up heights is refused instead. Two warnings are about
    // labels only and change no pixel.
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM) return;
    onError(cinfo);
}

void noOutput(j_common_ptr) {}

void initSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    ssize_t n;
    do n = ::read(src->fd, src->buffer, kReadChunk);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        src->readErrno = errno;
        ERREXIT(cinfo, JERR_FILE_READ);
    }
    if (n == 0) {
        WARNMS(cinfo, JWRN_JPEG_EOF);  // refused by onMessage; the end marker keeps the library sane
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = std::size_t(n);
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        fillInput(cinfo);
    }
    if (count > 0) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= std::size_t(count);
    }
}

void termSource(j_decompress_ptr) {}

/// The EXIF orientation in an APP1 marker, 1 when there is none or it is unreadable.
int exifOrientation(const jpeg_saved_marker_ptr markers) {
    for (jpeg_saved_marker_ptr m = markers; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 14 || std::memcmp(m->data, "Exif\0\0", 6) != 0) continue;
        const JOCTET* t = m->data + 6;
        const std::size_t size = m->data_length - 6;
        const bool little = t[0] == 'I' && t[1] == 'I';
        if (!little && !(t[0] == 'M' && t[1] == 'M')) continue;
        auto u16 = [&](std::size_t at) -> unsigned {
            return little ? unsigned(t[at] | (t[at + 1] << 8)) : unsigned((t[at] << 8) | t[at + 1]);
        };
        auto u32 = [&](std::size_t at) -> std::uint32_t {
            return little ? std::uint32_t(u16(at)) | (std::uint32_t(u16(at + 2)) << 16)
                          : (std::uint32_t(u16(at)) << 16) | std::uint32_t(u16(at + 2));
        };
        if (u16(2) != 42) continue;
        const std::uint32_t ifd = u32(4);
        if (ifd > size - 2) continue;
        const unsigned entries = u16(ifd);
        for (unsigned i = 0; i < entries; ++i) {
            const std::size_t e = std::size_t(ifd) + 2 + std::size_t(i) * 12;
            if (e + 12 > size) break;
            if (u16(e) == 0x0112 && u16(e + 2) == 3) return int(u16(e + 8));
        }
    }
    return 1;
}

}  // namespace

struct JpegReader::State {
    jpeg_decompress_struct cinfo{};
    ErrorManager err;
    SourceManager src;
    bool created = false;
    ~State() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

namespace {

/// Runs one step of libjpeg calls; false when the library reported an error. The
/// step holds no object with a destructor, as longjmp leaves it without unwinding.
template <class Step>
bool guarded(ErrorManager& err, Step&& step) {
    if (setjmp(err.jump)) return false;
    step();
    return true;
}

}  // namespace

JpegReader::JpegReader(int fd, std::string path) : m_state(std::make_unique<State>()), m_path(std::move(path)) {
    State& st = *m_state;
    jpeg_decompress_struct& cinfo = st.cinfo;
    cinfo.err = jpeg_std_error(&st.err.pub);
    st.err.pub.error_exit = onError;
    st.err.pub.emit_message = onMessage;
    st.err.pub.output_message = noOutput;
    st.src.fd = fd;
    st.src.pub.init_source = initSource;
    st.src.pub.fill_input_buffer = fillInput;
    st.src.pub.skip_input_data = skipInput;
    st.src.pub.resync_to_restart = jpeg_resync_to_restart;
    st.src.pub.term_source = termSource;
    int headerResult = 0;
    const bool ok = guarded(st.err, [&] {
        jpeg_create_decompress(&cinfo);
        st.created = true;
        cinfo.src = &st.src.pub;
        jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
        headerResult = jpeg_read_header(&cinfo, TRUE);
    });
    if (!ok) {
        if (st.src.readErrno) throw fileError(m_path, st.src.readErrno);
        if (st.err.code == JERR_OUT_OF_MEMORY)
            throw RuntimeError(err::OutOfMemory, RuntimeError::standardDescription(err::OutOfMemory) + ": " + m_path +
                                                     ": not enough memory for the JPEG header");
        throw pictureError(m_path, std::string("damaged JPEG header: ") + st.err.message);
    }
    if (headerResult != JPEG_HEADER_OK) throw pictureError(m_path, "damaged JPEG header: no picture in the file");
    // A height map lines up pixel for pixel with its contour image and is saved
    // without any orientation tag: turning it on load would change its size and
    // which side is north, so a turned or mirrored picture is refused.
    if (const int o = exifOrientation(cinfo.marker_list); o >= 2 && o <= 8)
        throw pictureError(m_path, "the JPEG is marked to be shown turned or mirrored (EXIF orientation " +
                                       std::to_string(o) + "); save it upright without that mark");
    m_width = int(cinfo.image_width);
    m_height = int(cinfo.image_height);
    const std::uint64_t pixels = std::uint64_t(cinfo.image_width) * cinfo.image_height;
    m_needed = cinfo.jpeg_color_space == JCS_GRAYSCALE ? pixels : 5 * pixels;
    if (jpeg_has_multiple_scans(&cinfo)) {
        // The whole file's coefficients are held at once: 64 two-byte values a block.
        for (int c = 0; c < cinfo.num_components; ++c) {
            const jpeg_component_info& comp = cinfo.comp_info[c];
            const std::uint64_t bw = (std::uint64_t(cinfo.image_width) * comp.h_samp_factor + 8 * cinfo.max_h_samp_factor - 1) /
                                     (8 * std::uint64_t(cinfo.max_h_samp_factor));
            const std::uint64_t bh = (std::uint64_t(cinfo.image_height) * comp.v_samp_factor + 8 * cinfo.max_v_samp_factor - 1) /
                                     (8 * std::uint64_t(cinfo.max_v_samp_factor));
            m_needed += (bw + comp.h_samp_factor) * (bh + comp.v_samp_factor) * 128;
        }
    }
}

JpegReader::~JpegReader() = default;

HeightImage JpegReader::decode(std::uint64_t budget) {
    State& st = *m_state;
    jpeg_decompress_struct& cinfo = st.cinfo;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    const bool greyFile = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    cinfo.out_color_space = greyFile ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    const std::uint64_t picture = greyFile ? std::uint64_t(m_width) * std::uint64_t(m_height)
                                           : 5 * std::uint64_t(m_width) * std::uint64_t(m_height);
    const std::uint64_t forDecoder = budget > picture ? budget - picture : 0;
    // The library's own allocations stay within the rest of the budget: a whole-file
    // buffer beyond it fails as out of memory instead of taking the machine.
    cinfo.mem->max_memory_to_use = long(std::min<std::uint64_t>(std::max<std::uint64_t>(forDecoder, 1 << 20), std::uint64_t(LONG_MAX)));

    HeightImage out(m_width, m_height);
    const std::size_t channels = greyFile ? 1 : cmyk ? 4 : 3;
    std::vector<JSAMPLE> row(std::size_t(m_width) * channels);
    bool unrefined = false;
    const int w = m_width;
    auto toRuntime = [&]() -> RuntimeError {
        if (st.src.readErrno) return fileError(m_path, st.src.readErrno);
        if (st.err.code == JERR_OUT_OF_MEMORY || st.err.code == JERR_NO_BACKING_STORE)
            return RuntimeError(err::OutOfMemory, RuntimeError::standardDescription(err::OutOfMemory) + ": " + m_path +
                                                      ": not enough memory to decode the JPEG");
        return pictureError(m_path, std::string("damaged or truncated JPEG data: ") + st.err.message);
    };
    bool ok = guarded(st.err, [&] {
        jpeg_start_decompress(&cinfo);
        // A progressive file is read whole by now: every coefficient must have had
        // its last refinement, or scans are missing and the picture is a blur of it.
        if (cinfo.progressive_mode && cinfo.coef_bits) {
            for (int c = 0; c < cinfo.num_components && !unrefined; ++c)
                for (int k = 0; k < DCTSIZE2; ++k)
                    if (cinfo.coef_bits[c][k] != 0) unrefined = true;
        }
    });
    if (!ok) throw toRuntime();
    if (unrefined) throw pictureError(m_path, "incomplete progressive JPEG: scans are missing");
    if (int(cinfo.output_width) != m_width || int(cinfo.output_height) != m_height || int(cinfo.output_components) != int(channels))
        throw pictureError(m_path, "unsupported JPEG colour layout");

    for (int y = 0; y < m_height; ++y) {
        JSAMPROW rows[1] = {row.data()};
        ok = guarded(st.err, [&] { jpeg_read_scanlines(&cinfo, rows, 1); });
        if (!ok) throw toRuntime();
        if (greyFile) {
            std::memcpy(out.grey() + std::size_t(y) * std::size_t(w), row.data(), std::size_t(w));
            continue;
        }
        if (cmyk) {
            // Adobe's inverted CMYK, as other viewers show it.
            for (int x = 0; x < w; ++x) {
                JSAMPLE* p = &row[std::size_t(x) * 4];
                const unsigned k = p[3];
                row[std::size_t(x) * 3] = JSAMPLE(p[0] * k / 255);
                row[std::size_t(x) * 3 + 1] = JSAMPLE(p[1] * k / 255);
                row[std::size_t(x) * 3 + 2] = JSAMPLE(p[2] * k / 255);
            }
        }
        if (out.isGrey()) {
            std::uint8_t* g = out.grey() + std::size_t(y) * std::size_t(w);
            bool mixed = false;
            for (int x = 0; x < w; ++x) {
                const JSAMPLE* p = &row[std::size_t(x) * 3];
                mixed |= p[0] != p[1] || p[1] != p[2];
                g[x] = p[0];
            }
            if (!mixed) continue;
            out.promoteToColour();
        }
        Colour* c = out.colour() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            const JSAMPLE* p = &row[std::size_t(x) * 3];
            c[x] = Colour(p[0] | (p[1] << 8) | (p[2] << 16));
        }
    }
    ok = guarded(st.err, [&] { jpeg_finish_decompress(&cinfo); });
    if (!ok) throw toRuntime();
    return out;
}

}  // namespace morv
