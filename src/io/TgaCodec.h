#pragma once
#include <cstdint>
#include <limits>
#include <string>

#include "io/BmpCodec.h"

namespace morv {

/// Whether an 18-byte header (of a file of length bytes) reads as a TGA picture we
/// decode; TGA files have no signature, so this is checked last.
bool looksLikeTga(const std::uint8_t* header, std::size_t n, std::uint64_t length) noexcept;

/// Whether a file that does not read as a picture is still meant as a TGA one: it
/// ends in the TGA footer or its name ends in ".tga" (any case). Its refusal then
/// names the header field at fault rather than the kinds of file that are read.
bool isMarkedTga(const std::string& name, ByteSource& source);

/// Decodes a TGA picture: grey (8 bits), colour-mapped (8-bit indices into 15-,
/// 16-, 24- or 32-bit entries) or true colour (15, 16, 24, 32 bits), uncompressed
/// or run-length encoded, in any of the four corner orders; alpha is ignored. Every
/// run and index is checked against the picture, the palette and the file; the
/// size limits and the memory budget are checked from the header. Throws
/// RuntimeError 481 with the reason, 7 or file errors.
HeightImage decodeTga(ByteSource& source, const std::string& name,
                      std::uint64_t memoryBudget = std::numeric_limits<std::uint64_t>::max());

}  // namespace morv
