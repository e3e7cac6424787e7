#include "analysis/BaseLevel.h"

#include <memory>
#include <string>
#include <vector>

#include "engine/ColumnWalk.h"

namespace morv {

int ContourSum::average() const {
    return count == 0 ? 0 : static_cast<int>(cvWhole(static_cast<double>(sum) / static_cast<double>(count)));
}

bool sumUnderContours(const HeightImage& height, const HeightImage& contour, ContourSum& total, const ColumnHook& hook) {
    const int w = height.width(), h = height.height();
    const bool fast = height.isGrey() && contour.isGrey() && contour.width() == w && contour.height() == h;
    // Per column of a strip; a column's sum stays below 32767 x 255, so 32 bits do.
    std::vector<std::uint32_t> colSum(kColumnStrip), colCount(kColumnStrip);
    auto strip = [&](int x0, int x1) {
        const std::size_t n = std::size_t(x1 - x0);
        std::fill_n(colSum.begin(), n, 0);
        std::fill_n(colCount.begin(), n, 0);
        for (int y = 0; y < h; ++y) {
            if (fast) {
                const std::size_t at = std::size_t(y) * std::size_t(w) + std::size_t(x0);
                const std::uint8_t* c = contour.grey() + at;
                const std::uint8_t* g = height.grey() + at;
                std::uint32_t* sum = colSum.data();
                std::uint32_t* count = colCount.data();
                for (std::size_t i = 0; i < n; ++i) {
                    const std::uint32_t black = c[i] == 0;
                    sum[i] += g[i] * black;
                    count[i] += black;
                }
            } else {
                for (int x = x0; x < x1; ++x)
                    if (contour.pixel(x, y) == 0) {
                        colSum[std::size_t(x - x0)] += fcnGrayLevel(height.pixel(x, y));
                        ++colCount[std::size_t(x - x0)];
                    }
            }
        }
    };
    auto column = [&](int x) {
        total.sum += colSum[std::size_t(x % kColumnStrip)];
        total.count += colCount[std::size_t(x % kColumnStrip)];
    };
    return walkColumns(w, h, strip, column, hook);
}

}  // namespace morv
