#include "analysis/Contours.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/ColumnWalk.h"
#include "engine/PixelKernels.h"

namespace morv {

namespace {

using Byte = std::uint8_t;

/// mask[x] := 1 where (x, y) is a contour pixel, 0 elsewhere, for from <= x < to,
/// where the pixels left and right of x and the rows above (up) and below (down)
/// all lie inside the picture; for colour planes (grey ones take the kernel of the
/// same rule). g is the ground colour.
void maskInside(const Colour* __restrict up, const Colour* __restrict cur, const Colour* __restrict down, Colour g,
                Byte* __restrict mask, int from, int to) {
    for (int x = from; x < to; ++x) {
        const bool higher = (up[x] > g) | (cur[x + 1] > g) | (down[x + 1] > g) | (down[x] > g) | (up[x - 1] > g) |
                            (cur[x - 1] > g);
        mask[x] = Byte((cur[x] == g) & higher);
    }
}

/// The rule pixel by pixel, for the picture's border, where neighbours may lie
/// outside (and read as -1, which is never greater than a colour).
bool isContourPixel(const HeightImage& h, int x, int y, Colour ground) {
    if (h.pixel(x, y) != ground) return false;
    return h.pixel(x, y - 1) > ground || h.pixel(x + 1, y) > ground || h.pixel(x + 1, y + 1) > ground ||
           h.pixel(x, y + 1) > ground || h.pixel(x - 1, y - 1) > ground || h.pixel(x - 1, y) > ground;
}

/// Fills mask for the columns x0 <= x < x1 of row y.
template <class T>
void maskRow(const HeightImage& h, const T* plane, T g, bool groundPossible, Colour ground, int y, int x0, int x1,
             Byte* mask) {
    const int w = h.width();
    if (!groundPossible) {
        std::fill(mask + x0, mask + x1, Byte(0));
        return;
    }
    if (y == 0 || y == h.height() - 1) {
        for (int x = x0; x < x1; ++x) mask[x] = Byte(isContourPixel(h, x, y, ground));
        return;
    }
    const T* cur = plane + std::size_t(y) * std::size_t(w);
    const int from = std::max(x0, 1), to = std::min(x1, w - 1);
    if (from < to) {
        if constexpr (std::is_same_v<T, Byte>)
            pixelKernels().contourMask(cur - w + from, cur + from, cur + w + from, g, mask + from, std::size_t(to - from));
        else
            maskInside(cur - w, cur, cur + w, g, mask, from, to);
    }
    if (x0 == 0) mask[0] = Byte(isContourPixel(h, 0, y, ground));
    if (x1 == w && w > 1) mask[w - 1] = Byte(isContourPixel(h, w - 1, y, ground));
}

/// Blackens the masked pixels of row y, columns x0 <= x < x1.
void drawMask(HeightImage& contour, int y, int x0, int x1, const Byte* mask) {
    const std::size_t row = std::size_t(y) * std::size_t(contour.width());
    if (contour.isGrey()) {
        Byte* c = contour.grey() + row;
        for (int x = x0; x < x1; ++x) c[x] = Byte(c[x] & Byte(mask[x] - 1));
    } else {
        Colour* c = contour.colour() + row;
        for (int x = x0; x < x1; ++x) c[x] &= Colour(mask[x]) - 1;
    }
}

}  // namespace

bool markContours(const HeightImage& height, Colour ground, HeightImage& contour, const ColumnHook& hook) {
    if (contour.width() != height.width() || contour.height() != height.height())
        throw std::invalid_argument("the contour picture is not the size of the height picture");
    const int w = height.width(), h = height.height();
    std::vector<Byte> mask(std::size_t(std::max(w, 0)));
    // A grey plane holds only grey colours: a ground colour that is not one is never met.
    const int g = fcnGrayLevel(ground);
    const bool greyGround = ground >= 0 && ground <= 255 * 65793 && ground == g * 65793;
    const std::size_t pixelBytes = height.isGrey() ? 1 : sizeof(Colour);
    const std::size_t contourBytes = contour.isGrey() ? 1 : sizeof(Colour);
    const auto* heightBase = height.isGrey() ? height.grey() : reinterpret_cast<const Byte*>(height.colour());
    const auto* contourBase = contour.isGrey() ? contour.grey() : reinterpret_cast<const Byte*>(contour.colour());
    auto strip = [&](int x0, int x1) {
        for (int y = 0; y < h; ++y) {
            if (y + kRowsAhead < h) {
                prefetchSpan(heightBase + (std::size_t(y + kRowsAhead) * std::size_t(w) + std::size_t(x0)) * pixelBytes,
                             std::size_t(x1 - x0) * pixelBytes);
                prefetchSpan(contourBase + (std::size_t(y + kRowsAhead) * std::size_t(w) + std::size_t(x0)) * contourBytes,
                             std::size_t(x1 - x0) * contourBytes);
            }
            if (height.isGrey())
                maskRow<Byte>(height, height.grey(), Byte(g), greyGround, ground, y, x0, x1, mask.data());
            else
                maskRow<Colour>(height, height.colour(), ground, true, ground, y, x0, x1, mask.data());
            drawMask(contour, y, x0, x1, mask.data());
        }
    };
    return walkColumns(w, h, strip, [](int) {}, hook);
}

HeightImage contourPicture(const HeightImage& height, Colour ground) {
    HeightImage contour = height;
    markContours(height, ground, contour, nullptr);
    return contour;
}

}  // namespace morv
