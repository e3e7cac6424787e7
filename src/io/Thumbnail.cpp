#include "io/Thumbnail.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

// libjpeg's headers need FILE and size_t declared first.
#include <jpeglib.h>

namespace morv {

namespace {

/// One thumbnail pixel's share of the map along one axis: the map pixels from
/// first on, with their weights. An output pixel o of d covers [o*n, (o+1)*n) of
/// the map's n pixels measured in 1/d of a pixel, so its weights sum to n.
struct Span {
    int first = 0;
    std::vector<std::uint32_t> weights;
};

std::vector<Span> spans(int n, int d) {
    std::vector<Span> out(static_cast<std::size_t>(d));
    for (int o = 0; o < d; ++o) {
        const std::int64_t lo = std::int64_t(o) * n, hi = lo + n;
        Span& s = out[std::size_t(o)];
        s.first = int(lo / d);
        for (std::int64_t i = s.first; i * d < hi; ++i)
            s.weights.push_back(std::uint32_t(std::min(hi, (i + 1) * d) - std::max(lo, i * d)));
    }
    return out;
}

/// The channels of map pixel (x, y): one for a grey map, else red, green, blue.
struct PixelReader {
    const HeightImage& image;
    int count() const noexcept { return image.isGrey() ? 1 : 3; }
    void channels(int y, int x, std::uint32_t out[3]) const noexcept {
        const std::size_t at = std::size_t(y) * std::size_t(image.width()) + std::size_t(x);
        if (image.isGrey()) {
            out[0] = image.grey()[at];
            return;
        }
        const auto c = std::uint32_t(image.colour()[at]);
        out[0] = c & 0xFF;
        out[1] = (c >> 8) & 0xFF;
        out[2] = (c >> 16) & 0xFF;
    }
};

struct JpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void onJpegError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

}  // namespace

std::pair<int, int> fittedSize(int imageWidth, int imageHeight, int width, int height) {
    const std::int64_t w = std::int64_t(height) * imageWidth / imageHeight;
    if (w <= width) return {std::max<int>(1, int(w)), height};
    return {width, std::max<int>(1, int(std::int64_t(width) * imageHeight / imageWidth))};
}

RgbPicture thumbnailOf(const HeightImage& image, int width, int height) {
    RgbPicture t{width, height, std::vector<std::uint8_t>(std::size_t(width) * std::size_t(height) * 3, 0)};
    if (image.empty()) return t;
    const auto [fw, fh] = fittedSize(image.width(), image.height(), width, height);
    const int left = (width - fw) / 2, top = (height - fh) / 2;
    const std::vector<Span> columns = spans(image.width(), fw), rows = spans(image.height(), fh);
    const std::uint64_t whole = std::uint64_t(image.width()) * std::uint64_t(image.height());
    const PixelReader reader{image};
    const std::size_t nc = std::size_t(reader.count());
    std::vector<std::uint64_t> rowSums(std::size_t(fw) * nc), sums(std::size_t(fw) * nc);
    for (int oy = 0; oy < fh; ++oy) {
        std::fill(sums.begin(), sums.end(), 0);
        const Span& row = rows[std::size_t(oy)];
        for (std::size_t k = 0; k < row.weights.size(); ++k) {
            const int y = row.first + int(k);
            std::fill(rowSums.begin(), rowSums.end(), 0);
            for (int ox = 0; ox < fw; ++ox) {
                const Span& col = columns[std::size_t(ox)];
                std::uint64_t* into = rowSums.data() + std::size_t(ox) * nc;
                for (std::size_t j = 0; j < col.weights.size(); ++j) {
                    std::uint32_t c[3];
                    reader.channels(y, col.first + int(j), c);
                    for (std::size_t ch = 0; ch < nc; ++ch) into[ch] += std::uint64_t(c[ch]) * col.weights[j];
                }
            }
            for (std::size_t i = 0; i < sums.size(); ++i) sums[i] += rowSums[i] * row.weights[k];
        }
        std::uint8_t* out = t.rgb.data() + (std::size_t(top + oy) * std::size_t(width) + std::size_t(left)) * 3;
        for (int ox = 0; ox < fw; ++ox)
            for (std::size_t ch = 0; ch < 3; ++ch)
                out[std::size_t(ox) * 3 + ch] =
                    std::uint8_t((sums[std::size_t(ox) * nc + (nc == 1 ? 0 : ch)] + whole / 2) / whole);
    }
    return t;
}

std::string encodeJpeg(const RgbPicture& picture, int quality) {
    jpeg_compress_struct cinfo{};
    JpegError err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onJpegError;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        throw std::runtime_error(err.message);
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(picture.width);
    cinfo.image_height = JDIMENSION(picture.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.density_unit = 1;
    cinfo.X_density = cinfo.Y_density = 100;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto* row = const_cast<JSAMPLE*>(picture.rgb.data() + std::size_t(cinfo.next_scanline) * std::size_t(picture.width) * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

}  // namespace morv
