// Writes the bundled sample: a 576 x 576 height map (four by four base boards) of
// hills and valleys around level 128, and its contour image, black where the
// terrain meets level 128.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/RuntimeError.h"
#include "engine/HeightImage.h"
#include "io/Files.h"
#include "io/ImageIO.h"

namespace {

double terrain(double x, double y) {
    // A few smooth hills and hollows with a gentle ridge and a little texture.
    struct Bump { double cx, cy, r, h; };
    const Bump bumps[] = {
        {150, 160, 95, 95}, {410, 140, 70, 60},  {300, 330, 120, 80}, {460, 440, 80, -85},
        {120, 450, 90, -70}, {260, 90, 50, -45}, {520, 280, 45, 40},  {60, 280, 55, 35},
    };
    double v = 0;
    for (const Bump& b : bumps) {
        const double d2 = ((x - b.cx) * (x - b.cx) + (y - b.cy) * (y - b.cy)) / (b.r * b.r);
        v += b.h * std::exp(-d2);
    }
    v += 6 * std::sin(x / 23.0) * std::cos(y / 31.0) + 3 * std::sin((x + 2 * y) / 11.0);
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: morv-sample OUTPUT.bmp\n");
        return 2;
    }
    const std::string path = argv[1];
    constexpr int kSide = 576;
    constexpr int kGround = 128;
    morv::HeightImage height(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const long level = std::lround(kGround + terrain(x, y));
            height.grey()[y * kSide + x] = static_cast<std::uint8_t>(std::clamp(level, 0L, 255L));
        }
    // The coastline: ground-level pixels next to higher terrain, drawn black on white.
    morv::HeightImage contour(kSide, kSide, 255);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const int g = height.grey()[y * kSide + x];
            if (g != kGround) continue;
            bool higher = false;
            for (int dy = -1; dy <= 1 && !higher; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (height.pixel(x + dx, y + dy) > morv::fcnGrayColor(kGround)) higher = true;
            if (higher) contour.grey()[y * kSide + x] = 0;
        }
    const std::string contourPath = morv::contourPathFor(path);
    try {
        morv::savePictureFiles({{&height, path}, {&contour, contourPath}});
    } catch (const morv::RuntimeError& e) {
        std::fprintf(stderr, "morv-sample: %s\n", e.description().c_str());
        return 1;
    }
    return 0;
}
