#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace morv {

/// The size a picture file declares.
struct PictureSize {
    int width = 0;
    int height = 0;
    std::int64_t pixels() const noexcept { return std::int64_t(width) * height; }
};

/// The size the picture file at path declares in its headers (BMP, JPEG, PNG, TIFF,
/// TGA), read without decoding a pixel: what loading it will allocate for. Nothing
/// when the file cannot be read or is not a picture; loading it then tells why.
std::optional<PictureSize> declaredPictureSize(const std::string& path);

}  // namespace morv
