#include "engine/HeightGrid.h"

#include <algorithm>

namespace morv {

std::int64_t HeightGrid::voidCount() const noexcept {
    return std::count(metres.begin(), metres.end(), kVoidHeight);
}

std::optional<std::int64_t> fillVoids(HeightGrid& grid, const FractionHook& hook) {
    std::vector<float>& h = grid.metres;
    const int w = grid.width, ht = grid.height;
    const std::int64_t n = std::int64_t(w) * ht;
    std::vector<std::uint8_t> known(std::size_t(n), 1);
    std::int64_t voids = 0;
    for (std::int64_t i = 0; i < n; ++i)
        if (h[std::size_t(i)] == kVoidHeight) known[std::size_t(i)] = 0, ++voids;
    if (voids == 0 || voids == n) return 0;
    auto forNeighbours = [&](std::int64_t i, auto&& f) {
        const int x = int(i % w), y = int(i / w);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if ((dx || dy) && nx >= 0 && ny >= 0 && nx < w && ny < ht) f(std::int64_t(ny) * w + nx);
            }
    };
    std::vector<std::int64_t> frontier, next;
    std::vector<std::uint8_t> queued(std::size_t(n), 0);
    for (std::int64_t i = 0; i < n; ++i) {
        if (known[std::size_t(i)]) continue;
        bool touches = false;
        forNeighbours(i, [&](std::int64_t j) { touches |= known[std::size_t(j)] != 0; });
        if (touches) frontier.push_back(i), queued[std::size_t(i)] = 1;
    }
    std::vector<float> values;
    std::int64_t filled = 0;
    while (!frontier.empty()) {
        values.assign(frontier.size(), 0.0f);
        for (std::size_t k = 0; k < frontier.size(); ++k) {
            double sum = 0;
            int count = 0;
            forNeighbours(frontier[k], [&](std::int64_t j) {
                if (known[std::size_t(j)]) sum += h[std::size_t(j)], ++count;
            });
            values[k] = float(sum / count);
        }
        for (std::size_t k = 0; k < frontier.size(); ++k) {
            h[std::size_t(frontier[k])] = values[k];
            known[std::size_t(frontier[k])] = 1;
        }
        next.clear();
        for (std::int64_t i : frontier)
            forNeighbours(i, [&](std::int64_t j) {
                if (!known[std::size_t(j)] && !queued[std::size_t(j)]) next.push_back(j), queued[std::size_t(j)] = 1;
            });
        filled += std::int64_t(frontier.size());
        frontier.swap(next);
        if (hook && hook(double(filled) / double(voids))) return std::nullopt;
    }
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
