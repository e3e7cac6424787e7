#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/PixelBuffer.h"

namespace morv {

/// A pixel colour: red + 256 x green + 65536 x blue, that is 0x00BBGGRR.
using Colour = std::int32_t;

/// The grey level of a colour: the colour divided by 65536, rounded down (its blue).
constexpr int fcnGrayLevel(Colour c) noexcept { return c >> 16; }

/// The colour of a grey level: level x 65793, each component saturating at 255.
/// Negative levels (never produced by the passes) are written as black.
constexpr Colour fcnGrayColor(int level) noexcept {
    if (level > 255) level = 255;
    if (level < 0) level = 0;
    return level * 65793;
}

/// One picture's pixels. A grey picture (red = green = blue everywhere) is held at
/// one byte per pixel; a picture with colour at four bytes per pixel (0x00BBGGRR).
/// Rows are stored top to bottom; (0, 0) is the top-left pixel. Writing a non-grey
/// colour into a grey picture promotes it to colour storage.
class HeightImage {
public:
    HeightImage() = default;
    /// A grey picture of the given size, every pixel at level fill. Throws
    /// std::bad_alloc when the memory cannot be had.
    HeightImage(int width, int height, std::uint8_t fill = 0);
    /// Marks a picture whose pixels are left unset, for a reader that writes every
    /// one of them before anything reads them.
    struct Unset {};
    /// A grey picture of the given size with its pixels unset. Throws std::bad_alloc.
    HeightImage(int width, int height, Unset);
    HeightImage(const HeightImage&) = default;
    HeightImage(HeightImage&&) noexcept = default;
    HeightImage& operator=(HeightImage&&) noexcept = default;
    /// Copies o's pixels. Over a picture of the same size and storage the planes are
    /// overwritten where they lie; otherwise a fresh copy takes this one's place, and
    /// when that copy throws std::bad_alloc this picture is left as it was.
    HeightImage& operator=(const HeightImage& o);

    int width() const noexcept { return m_width; }
    int height() const noexcept { return m_height; }
    bool empty() const noexcept { return m_width == 0 || m_height == 0; }
    std::int64_t pixelCount() const noexcept { return std::int64_t(m_width) * m_height; }
    bool isGrey() const noexcept { return m_colour.empty(); }

    /// Colour at (x, y); outside the picture reads as -1.
    Colour pixel(int x, int y) const noexcept;
    /// Sets the colour at (x, y); outside the picture does nothing.
    void setPixel(int x, int y, Colour c);

    /// The grey plane (one byte a pixel, row-major); only while isGrey().
    std::uint8_t* grey() noexcept { return m_grey.data(); }
    const std::uint8_t* grey() const noexcept { return m_grey.data(); }
    /// The colour plane (0x00BBGGRR, row-major); only while !isGrey().
    Colour* colour() noexcept { return m_colour.data(); }
    const Colour* colour() const noexcept { return m_colour.data(); }

    /// Switches to four-byte storage, keeping every pixel.
    void promoteToColour();
    /// Switches back to one byte a pixel when every pixel is grey; returns isGrey().
    bool demoteIfGrey();

    /// Bytes held by the pixel planes.
    std::size_t byteSize() const noexcept { return m_grey.size() + m_colour.size() * sizeof(Colour); }

    friend bool operator==(const HeightImage& a, const HeightImage& b);

private:
    int m_width = 0;
    int m_height = 0;
    PixelBuffer<std::uint8_t> m_grey;
    PixelBuffer<Colour> m_colour;
};

/// A display of the picture window: the picture it holds and a count of commits.
/// Pixel writes land on the image straight away (the drawing surface); commit()
/// makes what is drawn the persistent picture, which is what a view shows.
struct Picture {
    std::shared_ptr<HeightImage> image = std::make_shared<HeightImage>();
    std::uint64_t commits = 0;
    void commit() noexcept { ++commits; }
    /// Replaces the held picture (a load replaces both the surface and the picture).
    void replace(std::shared_ptr<HeightImage> img) {
        image = img ? std::move(img) : std::make_shared<HeightImage>();
        ++commits;
    }
    int width() const noexcept { return image->width(); }
    int height() const noexcept { return image->height(); }
};

}  // namespace morv
