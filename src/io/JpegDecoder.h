#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "engine/HeightImage.h"

namespace morv {

/// A JPEG file read in two steps: the constructor reads the header only (size,
/// colour model, scan layout, EXIF orientation) so that a caller can refuse from
/// there what it cannot afford; decode() then reads the pixels with the memory
/// budget in force. Any libjpeg warning (premature end, corrupt data) refuses the
/// file, as does a progressive file whose scans leave coefficients unrefined.
class JpegReader {
public:
    /// Reads the header from fd (at offset 0). Throws RuntimeError naming path:
    /// 481 damaged header or an oriented picture, 75 read errors, 7 out of memory.
    JpegReader(int fd, std::string path);
    ~JpegReader();
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    int width() const noexcept { return m_width; }
    int height() const noexcept { return m_height; }
    /// Bytes the decode needs at most: the picture (one byte a pixel for grey
    /// files, five while a colour picture is promoted) and the decoder's whole-file
    /// coefficient buffer for progressive and multi-scan files.
    std::uint64_t memoryNeeded() const noexcept { return m_needed; }

    /// Decodes the pixels, the decoder allowed at most budget bytes beyond the
    /// picture. A grey file, or a colour file whose pixels are all grey, gives a
    /// grey picture. Throws RuntimeError naming the file: 481 damaged, truncated or
    /// incomplete, 7 when the memory runs out, 75 read errors.
    HeightImage decode(std::uint64_t budget);

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::string m_path;
    int m_width = 0;
    int m_height = 0;
    std::uint64_t m_needed = 0;
};

}  // namespace morv
