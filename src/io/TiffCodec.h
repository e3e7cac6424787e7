#pragma once
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "io/BmpCodec.h"
#include "io/DecodedPicture.h"

namespace morv {

/// Whether bytes start like a TIFF file ("II*\0" or "MM\0*").
bool hasTiffSignature(const std::uint8_t* bytes, std::size_t n) noexcept;

/// Decodes the first picture of a TIFF file, in strips or tiles, with any
/// compression libtiff knows: grey (black or white is zero) of 1, 8 or 16 bits,
/// palette of 8 bits, colour of 8 or 16 bits a channel (extra channels such as
/// alpha are ignored). 16-bit grey samples are mapped to levels by options; 16-bit
/// colour is rounded to 8 bits. The size limits and the memory budget are checked
/// from the header before decoding; damaged or truncated data is refused with
/// libtiff's reason. Throws RuntimeError 481, 7 or file errors.
DecodedPicture decodeTiff(ByteSource& source, const std::string& name, const LevelOptions& options = {},
                          std::uint64_t memoryBudget = std::numeric_limits<std::uint64_t>::max());

/// The width and height the first picture of a TIFF file declares, read from its
/// directory alone. Throws RuntimeError 481 (damaged header, beyond the size
/// limits) or file errors.
std::pair<int, int> readTiffSize(ByteSource& source, const std::string& name);

}  // namespace morv
