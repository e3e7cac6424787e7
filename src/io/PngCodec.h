#pragma once
#include <cstdint>
#include <limits>
#include <string>

#include "io/BmpCodec.h"
#include "io/DecodedPicture.h"

namespace morv {

/// Whether bytes start with the PNG signature.
bool hasPngSignature(const std::uint8_t* bytes, std::size_t n) noexcept;

/// Decodes a PNG of any standard kind: grey of 1 to 16 bits, palette, colour,
/// with or without alpha (alpha and transparency are ignored; interlaced files
/// too). 16-bit grey samples are kept until they are mapped to levels by options;
/// 16-bit colour is rounded to 8 bits a channel. Strict: a bad checksum in any
/// chunk, a truncated file or damaged data is refused. The size limits and the
/// memory budget are checked from the header before any pixel is decoded. Throws
/// RuntimeError 481 (damaged, with libpng's reason), 7 (budget) or file errors.
DecodedPicture decodePng(ByteSource& source, const std::string& name, const LevelOptions& options = {},
                         std::uint64_t memoryBudget = std::numeric_limits<std::uint64_t>::max());

/// Writes image as a PNG into sink: a grey picture as 8-bit grey, any other as
/// 8-bit a channel colour (or always colour when colour is true).
void writePng(const HeightImage& image, bool colour, const ByteSink& sink);

}  // namespace morv
