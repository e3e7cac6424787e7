#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "engine/HeightImage.h"
#include "io/ImageIO.h"

namespace morv::bench {

/// A realistic square height map: smooth hills and hollows around level 128 with a
/// little noise on top, the same for the same side and seed.
inline HeightImage hillyMap(int side, unsigned seed = 7) {
    HeightImage img(side, side);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pos(0.0, side), rad(side / 20.0, side / 5.0), height(-90.0, 90.0);
    struct Bump { double cx, cy, r, h; };
    Bump bumps[24];
    for (Bump& b : bumps) b = {pos(rng), pos(rng), rad(rng), height(rng)};
    std::uniform_int_distribution<int> noise(-3, 3);
    for (int y = 0; y < side; ++y) {
        std::uint8_t* row = img.grey() + std::size_t(y) * std::size_t(side);
        for (int x = 0; x < side; ++x) {
            double v = 128;
            for (const Bump& b : bumps) {
                const double d2 = ((x - b.cx) * (x - b.cx) + (y - b.cy) * (y - b.cy)) / (b.r * b.r);
                if (d2 < 16) v += b.h * std::exp(-d2);
            }
            row[x] = std::uint8_t(std::clamp(std::lround(v) + noise(rng), 0L, 255L));
        }
    }
    return img;
}

/// Writes a hilly map and a contour image for it (black at level 128) into folder
/// once; returns the map's path.
inline std::string hillyMapFile(const std::string& folder, int side) {
    const std::string path = folder + "/hills" + std::to_string(side) + ".bmp";
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return path;
    }
    const HeightImage map = hillyMap(side);
    HeightImage contour(side, side, 255);
    for (std::int64_t i = 0; i < map.pixelCount(); ++i)
        if (map.grey()[i] == 128) contour.grey()[i] = 0;
    savePictureFiles({{&map, path}, {&contour, folder + "/hills" + std::to_string(side) + "CL.bmp"}});
    return path;
}

}  // namespace morv::bench
