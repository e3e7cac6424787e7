#include "analysis/ShadedRelief.h"

#include <algorithm>
#include <cmath>

namespace morv {

HeightImage shadedRelief(const HeightImage& map, double metresPerLevel, double spacing) {
    const int w = map.width(), h = map.height();
    HeightImage out(w, h, HeightImage::Unset{});
    const std::uint8_t* in = map.grey();
    auto z = [&](int x, int y) {
        x = std::clamp(x, 0, w - 1), y = std::clamp(y, 0, h - 1);
        return in[std::size_t(y) * std::size_t(w) + std::size_t(x)] * metresPerLevel;
    };
    // The light comes from up-left (north-west), 45 degrees above the horizon.
    const double lx = -0.5, ly = -0.5, lz = std::sqrt(0.5);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = (z(x + 1, y) - z(x - 1, y)) / (2 * spacing), dy = (z(x, y + 1) - z(x, y - 1)) / (2 * spacing);
            const double light = (-dx * lx - dy * ly + lz) / std::sqrt(dx * dx + dy * dy + 1);
            out.grey()[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
                std::uint8_t(std::lround(255 * std::max(light, 0.0)));
        }
    return out;
}

}  // namespace morv
