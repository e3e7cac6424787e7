#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "io/BmpCodec.h"

namespace morv {

/// The file types a picture can be written as.
enum class PictureType {
    Bmp24,  ///< 24-bit BMP: what Save has always written.
    Bmp8,   ///< 8-bit BMP with a palette of the 256 greys.
    Png8,   ///< 8-bit grey PNG.
    Png24,  ///< 8 bits a channel colour PNG.
};

/// The one rule for the type a picture is written as, by extension ("png" any
/// case: PNG, anything else: BMP) and depth (8 or 24 bits; without one, a PNG is
/// 8-bit grey and a BMP 24-bit).
PictureType writtenType(std::string_view extension, std::optional<int> depth);

/// writtenType for the extension of a file name.
PictureType pictureTypeFor(std::string_view path, std::optional<int> depth);

/// Reads a depth ("8" or "24").
std::optional<int> parseDepth(std::string_view text);

/// The extension a type is written with ("bmp" or "png").
std::string writtenExtension(PictureType type);

/// Whether image can be written as type without losing colour: an 8-bit grey type
/// holds only grey pictures.
bool typeHolds(PictureType type, const HeightImage& image) noexcept;

/// The type a picture is actually written as: an 8-bit grey type becomes its
/// colour sibling for a picture with colour, so nothing is lost.
PictureType effectiveType(PictureType type, const HeightImage& image) noexcept;

/// Writes a grey picture as an 8-bit BMP: 40-byte header, a palette of the 256
/// greys in order, rows bottom-up padded to four bytes, 2835 pixels a metre.
void writeBmp8(const HeightImage& image, const ByteSink& sink);

/// Encodes image as effectiveType(type, image) into sink.
void encodePicture(const HeightImage& image, PictureType type, const ByteSink& sink);

}  // namespace morv
