#include "engine/HeightImage.h"

#include <algorithm>
#include <cstring>

namespace morv {

namespace {
constexpr bool isGreyColour(Colour c) noexcept {
    const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    return r == g && g == b && (c >> 24) == 0;
}
}  // namespace

HeightImage::HeightImage(int width, int height, std::uint8_t fill)
    : m_width(width), m_height(height),
      m_grey(static_cast<std::size_t>(std::int64_t(width) * height)) {
    if (fill != 0) std::memset(m_grey.data(), fill, m_grey.size());
}

HeightImage::HeightImage(int width, int height, Unset)
    : m_width(width), m_height(height),
      m_grey(PixelBuffer<std::uint8_t>::unset(static_cast<std::size_t>(std::int64_t(width) * height))) {}

HeightImage& HeightImage::operator=(const HeightImage& o) {
    if (this == &o) return *this;
    if (m_width == o.m_width && m_height == o.m_height && m_grey.size() == o.m_grey.size() &&
        m_colour.size() == o.m_colour.size()) {
        m_grey = o.m_grey;  // same lengths: copied in place, nothing allocated
        m_colour = o.m_colour;
        return *this;
    }
    HeightImage copy(o);
    return *this = std::move(copy);
}

Colour HeightImage::pixel(int x, int y) const noexcept {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return -1;
    const std::size_t i = std::size_t(y) * std::size_t(m_width) + std::size_t(x);
    return isGrey() ? Colour(m_grey[i]) * 65793 : m_colour[i];
}

void HeightImage::setPixel(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    c &= 0x00FFFFFF;
    const std::size_t i = std::size_t(y) * std::size_t(m_width) + std::size_t(x);
    if (isGrey()) {
        if (isGreyColour(c)) {
            m_grey[i] = std::uint8_t(c & 0xFF);
            return;
        }
        promoteToColour();
    }
    m_colour[i] = c;
}

void HeightImage::promoteToColour() {
    if (!isGrey() || empty()) return;
    auto colour = PixelBuffer<Colour>::unset(m_grey.size());
    std::transform(m_grey.begin(), m_grey.end(), colour.begin(), [](std::uint8_t g) { return Colour(g) * 65793; });
    m_colour = std::move(colour);
    m_grey.clear();
}

bool HeightImage::demoteIfGrey() {
    if (isGrey()) return true;
    if (!std::all_of(m_colour.begin(), m_colour.end(), isGreyColour)) return false;
    auto grey = PixelBuffer<std::uint8_t>::unset(m_colour.size());
    std::transform(m_colour.begin(), m_colour.end(), grey.begin(), [](Colour c) { return std::uint8_t(c & 0xFF); });
    m_grey = std::move(grey);
    m_colour.clear();
    return true;
}

bool operator==(const HeightImage& a, const HeightImage& b) {
    if (a.m_width != b.m_width || a.m_height != b.m_height) return false;
    if (a.isGrey() && b.isGrey()) return std::equal(a.m_grey.begin(), a.m_grey.end(), b.m_grey.begin());
    for (int y = 0; y < a.m_height; ++y)
        for (int x = 0; x < a.m_width; ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}

}  // namespace morv
