#include "analysis/ColourRange.h"

#include <algorithm>
#include <string>

#include "engine/ColumnWalk.h"
#include "engine/PixelKernels.h"

namespace morv {

bool scanGreyRange(const HeightImage& image, GreyRange& range, const ColumnHook& hook) {
    const int w = image.width(), h = image.height();
    std::vector<std::uint8_t> colHigh(kColumnStrip), colLow(kColumnStrip);
    const auto widen = pixelKernels().widenRange;
    auto strip = [&](int x0, int x1) {
        const int n = x1 - x0;
        std::fill_n(colHigh.begin(), n, std::uint8_t(0));
        std::fill_n(colLow.begin(), n, std::uint8_t(255));
        std::uint8_t* hi = colHigh.data();
        std::uint8_t* lo = colLow.data();
        for (int y = 0; y < h; ++y) {
            if (image.isGrey()) {
                const std::uint8_t* row = image.grey() + std::size_t(y) * std::size_t(w) + std::size_t(x0);
                if (y + kRowsAhead < h) prefetchSpan(row + std::size_t(kRowsAhead) * std::size_t(w), std::size_t(n));
                widen(row, std::size_t(n), hi, lo);
            } else {
                const Colour* row = image.colour() + std::size_t(y) * std::size_t(w) + std::size_t(x0);
                for (int i = 0; i < n; ++i) {
                    const auto g = std::uint8_t(fcnGrayLevel(row[i]));
                    hi[i] = std::max(hi[i], g);
                    lo[i] = std::min(lo[i], g);
                }
            }
        }
    };
    auto column = [&](int x) {
        const int i = x % kColumnStrip;
        if (colHigh[std::size_t(i)] > range.high) range.high = colHigh[std::size_t(i)];
        if (colLow[std::size_t(i)] < range.low) range.low = colLow[std::size_t(i)];
    };
    return walkColumns(w, h, strip, column, hook);
}

}  // namespace morv
