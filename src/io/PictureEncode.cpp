#include "io/PictureEncode.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <vector>

#include "engine/FileNames.h"
#include "io/PngCodec.h"

namespace morv {

PictureType writtenType(std::string_view extension, std::optional<int> depth) {
    std::string ext;
    for (char c : extension) ext += char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "png") return depth.value_or(8) == 8 ? PictureType::Png8 : PictureType::Png24;
    return depth.value_or(24) == 8 ? PictureType::Bmp8 : PictureType::Bmp24;
}

PictureType pictureTypeFor(std::string_view path, std::optional<int> depth) {
    return writtenType(extensionOf(std::string(path)), depth);
}

std::optional<int> parseDepth(std::string_view text) {
    if (text == "8") return 8;
    if (text == "24") return 24;
    return std::nullopt;
}

std::string writtenExtension(PictureType type) {
    return type == PictureType::Png8 || type == PictureType::Png24 ? "png" : "bmp";
}

bool typeHolds(PictureType type, const HeightImage& image) noexcept {
    return image.isGrey() || type == PictureType::Bmp24 || type == PictureType::Png24;
}

PictureType effectiveType(PictureType type, const HeightImage& image) noexcept {
    if (typeHolds(type, image)) return type;
    return type == PictureType::Bmp8 ? PictureType::Bmp24 : PictureType::Png24;
}

namespace {
void put32(std::uint8_t* p, std::uint32_t v) noexcept {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
}  // namespace

void writeBmp8(const HeightImage& image, const ByteSink& sink) {
    const std::size_t w = std::size_t(image.width()), h = std::size_t(image.height());
    const std::size_t stride = (w + 3) / 4 * 4;
    constexpr std::size_t kPixelOffset = 14 + 40 + 1024;
    std::vector<std::uint8_t> head(kPixelOffset, 0);
    head[0] = 'B';
    head[1] = 'M';
    put32(&head[2], std::uint32_t(kPixelOffset + stride * h));
    put32(&head[10], kPixelOffset);
    put32(&head[14], 40);
    put32(&head[18], std::uint32_t(w));
    put32(&head[22], std::uint32_t(h));
    head[26] = 1;
    head[28] = 8;
    put32(&head[34], std::uint32_t(stride * h));
    put32(&head[38], 2835);
    put32(&head[42], 2835);
    put32(&head[46], 256);
    for (std::size_t i = 0; i < 256; ++i) std::memset(&head[54 + 4 * i], int(i), 3);
    sink(head.data(), head.size());

    const std::size_t rowsPerChunk = std::max<std::size_t>(1, (std::size_t(1) << 20) / stride);
    std::vector<std::uint8_t> chunk(rowsPerChunk * stride, 0);
    std::size_t used = 0;
    for (std::size_t row = 0; row < h; ++row) {
        std::memcpy(chunk.data() + used, image.grey() + (h - 1 - row) * w, w);
        used += stride;
        if (used == chunk.size() || row + 1 == h) {
            sink(chunk.data(), used);
            used = 0;
        }
    }
}

void encodePicture(const HeightImage& image, PictureType type, const ByteSink& sink) {
    switch (effectiveType(type, image)) {
    case PictureType::Bmp24: writeBmp24(image, sink); break;
    case PictureType::Bmp8: writeBmp8(image, sink); break;
    case PictureType::Png8: writePng(image, false, sink); break;
    case PictureType::Png24: writePng(image, true, sink); break;
    }
}

}  // namespace morv
