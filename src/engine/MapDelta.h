#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/HeightImage.h"

namespace morv {

/// A picture's pixel plane packed small, row by row: each row is kept as the
/// differences between neighbouring bytes, runs of zero differences counted rather
/// than stored and differences of -8..7 kept in half a byte, so smooth terrain and
/// unchanged rows take little room.
class PackedPicture {
public:
    /// Packs every row of the picture (its grey plane, or its colour plane's bytes).
    explicit PackedPicture(const HeightImage& image);
    PackedPicture() = default;

    int width() const noexcept { return m_width; }
    int height() const noexcept { return m_height; }
    bool grey() const noexcept { return m_grey; }
    /// The picture again, exactly as packed. Throws std::bad_alloc.
    std::shared_ptr<HeightImage> unpack() const;
    /// Row y (0..height-1) as it was packed, into out: width bytes for a grey
    /// picture, width colours (0x00BBGGRR) for a colour one.
    void unpackRow(int y, void* out) const;
    /// Bytes held.
    std::size_t byteSize() const noexcept { return m_bytes.size() + m_rowStart.size() * sizeof(std::size_t); }

private:
    friend class PictureChange;
    int m_width = 0;
    int m_height = 0;
    bool m_grey = true;
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::size_t> m_rowStart;  // one more than rows: the end of the last
};

/// What one command did to one picture, kept small: for a picture whose size and
/// kind stayed, the byte differences after - before (modulo 256), packed as above;
/// otherwise the picture before and after, packed. Either way it takes the picture
/// back (undo) or forward (redo).
class PictureChange {
public:
    PictureChange() = default;
    /// The change from before (packed when the command started) to after.
    PictureChange(const PackedPicture& before, const HeightImage& after);

    /// True when the command left the picture as it was.
    bool none() const noexcept { return m_none; }
    /// Takes a picture that is as it was after the command back to before. A
    /// change of size or kind replaces the picture.
    std::shared_ptr<HeightImage> undo(std::shared_ptr<HeightImage> image) const;
    /// Takes a picture that is as it was before the command forward to after.
    std::shared_ptr<HeightImage> redo(std::shared_ptr<HeightImage> image) const;
    std::size_t byteSize() const noexcept { return m_delta.byteSize() + m_before.byteSize() + m_after.byteSize(); }

private:
    bool m_none = true;
    bool m_reshaped = false;
    PackedPicture m_delta;   // same size and kind: after - before
    PackedPicture m_before;  // reshaped: both whole
    PackedPicture m_after;
};

}  // namespace morv
