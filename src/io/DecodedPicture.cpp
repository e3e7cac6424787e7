#include "io/DecodedPicture.h"

namespace morv {

void storeRgbRow(HeightImage& image, int y, const std::uint8_t* rgb, int stride) {
    const int w = image.width();
    const std::size_t row = std::size_t(y) * std::size_t(w);
    if (image.isGrey()) {
        std::uint8_t* g = image.grey() + row;
        unsigned mixed = 0;
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = rgb + std::size_t(x) * std::size_t(stride);
            mixed |= unsigned(p[0] ^ p[1]) | unsigned(p[0] ^ p[2]);
            g[x] = p[0];
        }
        if (mixed == 0) return;
        image.promoteToColour();
    }
    Colour* c = image.colour() + row;
    for (int x = 0; x < w; ++x) {
        const std::uint8_t* p = rgb + std::size_t(x) * std::size_t(stride);
        c[x] = Colour(p[0] | (p[1] << 8) | (p[2] << 16));
    }
}

LevelMapping storeDeepGrey(HeightImage& image, const std::uint16_t* samples, const LevelOptions& options) {
    const auto n = std::size_t(image.pixelCount());
    LevelMapping m;
    m.found = sampleRangeOf(samples, n);
    m.chosen = options.levels.has_value();
    m.used = m.chosen ? *options.levels : m.found;
    mapSamplesToLevels(samples, n, m.used, image.grey());
    return m;
}

}  // namespace morv
