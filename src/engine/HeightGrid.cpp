#include "engine/HeightGrid.h"

#include <algorithm>
#include <cmath>

namespace morv {

namespace {

/// Relaxation sweeps at each level of the pyramid: enough to smooth the
/// bilinear steps of the level above away, few enough to stay cheap.
constexpr int kSweeps = 4;

/// One level of the fill: heights v and known marks k of w x h. Returns false
/// when the hook stopped it. work counts the pixels gone over, of total.
bool fillLevel(std::vector<float>& v, std::vector<std::uint8_t>& k, int w, int h, double& work, double total,
               const FractionHook& hook) {
    const std::size_t n = std::size_t(w) * std::size_t(h);
    if (std::find(k.begin(), k.end(), 0) == k.end()) return true;
    // Pull: each coarse cell is the mean of its known children, void when none is.
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    std::vector<float> cv(std::size_t(cw) * std::size_t(ch), 0.0f);
    std::vector<std::uint8_t> ck(cv.size(), 0);
    for (int cy = 0; cy < ch; ++cy)
        for (int cx = 0; cx < cw; ++cx) {
            double sum = 0;
            int count = 0;
            for (int y = 2 * cy; y < std::min(2 * cy + 2, h); ++y)
                for (int x = 2 * cx; x < std::min(2 * cx + 2, w); ++x) {
                    const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
                    if (k[i]) sum += v[i], ++count;
                }
            const std::size_t c = std::size_t(cy) * std::size_t(cw) + std::size_t(cx);
            if (count) cv[c] = float(sum / count), ck[c] = 1;
        }
    if (!fillLevel(cv, ck, cw, ch, work, total, hook)) return false;
    // Push: a void takes the coarse heights around its centre, bilinearly.
    auto coarse = [&](int x, int y) {
        return cv[std::size_t(std::clamp(y, 0, ch - 1)) * std::size_t(cw) + std::size_t(std::clamp(x, 0, cw - 1))];
    };
    for (int y = 0; y < h; ++y) {
        const double fy = (y + 0.5) / 2 - 0.5;
        const int y0 = int(std::floor(fy));
        const double ty = fy - y0;
        for (int x = 0; x < w; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
            if (k[i]) continue;
            const double fx = (x + 0.5) / 2 - 0.5;
            const int x0 = int(std::floor(fx));
            const double tx = fx - x0;
            v[i] = float((1 - ty) * ((1 - tx) * coarse(x0, y0) + tx * coarse(x0 + 1, y0)) +
                         ty * ((1 - tx) * coarse(x0, y0 + 1) + tx * coarse(x0 + 1, y0 + 1)));
        }
    }
    // Relax: each void moves to the mean of its neighbours, known ones held.
    for (int sweep = 0; sweep < kSweeps; ++sweep)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
                if (k[i]) continue;
                double sum = 0;
                int count = 0;
                if (x > 0) sum += v[i - 1], ++count;
                if (x + 1 < w) sum += v[i + 1], ++count;
                if (y > 0) sum += v[i - std::size_t(w)], ++count;
                if (y + 1 < h) sum += v[i + std::size_t(w)], ++count;
                if (count) v[i] = float(sum / count);
            }
    std::fill(k.begin(), k.end(), 1);
    work += double(n);
    return !(hook && hook(work / total));
}

}  // namespace

std::optional<std::int64_t> fillVoids(HeightGrid& grid, const FractionHook& hook) {
    std::vector<std::uint8_t> known(grid.metres.size());
    std::int64_t voids = 0;
    for (std::size_t i = 0; i < known.size(); ++i) {
        known[i] = grid.metres[i] != kVoidHeight;
        voids += !known[i];
    }
    if (voids == 0 || voids == std::int64_t(known.size())) return 0;
    // The levels above the map add a third to its own pixels, at most.
    const double total = double(known.size()) * 4 / 3;
    double work = 0;
    if (!fillLevel(grid.metres, known, grid.width, grid.height, work, total, hook)) return std::nullopt;
    return voids;
}

std::uint8_t levelOfHeight(double metres, double low, double high) noexcept {
    // level = height x scale + offset, rounded to nearest and held to 0..255.
    const double scale = high > low ? 255.0 / (high - low) : 0.0;
    const double offset = -low * scale;
    const double v = metres * scale + offset;
    return std::uint8_t(v <= 0 ? 0 : v >= 255 ? 255 : int(v + 0.5));
}

std::optional<HeightImage> levelsOfHeights(const HeightGrid& grid, double low, double high, const FractionHook& hook) {
    HeightImage map(grid.width, grid.height, HeightImage::Unset{});
    std::uint8_t* out = map.grey();
    const std::size_t width = std::size_t(grid.width);
    for (int y = 0; y < grid.height; ++y) {
        for (std::size_t i = std::size_t(y) * width; i < std::size_t(y + 1) * width; ++i)
            out[i] = levelOfHeight(grid.metres[i], low, high);
        if (hook && hook(double(y + 1) / grid.height)) return std::nullopt;
    }
    return map;
}

}  // namespace morv
