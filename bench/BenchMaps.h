#pragma once
#include <cmath>
#include <cstdint>
#include <string>

#include "engine/HeightImage.h"
#include "engine/ImageIO.h"

namespace morv::bench {

/// A realistic square height map: broad hills and valleys around level 128 with a
/// little fine texture, the kind of picture route builders work on.
inline HeightImage realisticMap(int side) {
    HeightImage img(side, side);
    const double k = 2 * 3.14159265358979 / side;
    std::uint32_t noise = 12345;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const double v = 128 + 70 * std::sin(3 * k * x) * std::cos(2 * k * y) + 30 * std::sin(7 * k * (x + y)) +
                             double(noise >> 29) - 4;
            img.grey()[std::size_t(y) * std::size_t(side) + std::size_t(x)] =
                std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    return img;
}

/// Writes a realistic map and a contour image for it into folder once; returns the map's path.
inline std::string realisticMapFile(const std::string& folder, int side) {
    const std::string path = folder + "/bench" + std::to_string(side) + ".bmp";
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return path;
    }
    const HeightImage map = realisticMap(side);
    HeightImage contour(side, side, 255);
    for (std::int64_t i = 0; i < map.pixelCount(); ++i)
        if (map.grey()[i] == 128) contour.grey()[i] = 0;
    savePictureFiles({{&map, path}, {&contour, folder + "/bench" + std::to_string(side) + "CL.bmp"}});
    return path;
}

}  // namespace morv::bench
