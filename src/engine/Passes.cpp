#include "engine/Passes.h"

#include <cmath>
#include <vector>

#include "engine/ColumnWalk.h"
#include "engine/LevelMap.h"

namespace morv {

namespace {

std::uint8_t saturate(double n) {
    if (!(n > 0)) return 0;
    if (n > 255) return 255;
    return static_cast<std::uint8_t>(n);
}

template <class Formula>
PassTable makeTable(PassKind kind, bool mountains, int ground, Formula&& formula) {
    PassTable t;
    t.kind = kind;
    t.mountains = mountains;
    t.ground = ground;
    for (int g = 0; g < 256; ++g) {
        const double n = formula(g);
        t.keep[std::size_t(g)] = !std::isfinite(n);
        t.level[std::size_t(g)] = t.keep[std::size_t(g)] ? std::uint8_t(g) : saturate(n);
    }
    return t;
}

}  // namespace

PassTable flattenTable(int G, float mountainFactor) {
    const double m = mountainFactor;
    return makeTable(PassKind::Flatten, true, G, [&](int g) {
        const double d = g - G;
        return double(cvWhole(std::floor(g - d * m)));
    });
}

PassTable lowerTable(int G, int H, float mountainFactor) {
    const double s = (H - 128) * double(mountainFactor);
    return makeTable(PassKind::Lower, true, G, [&](int g) {
        double n = double(cvWhole(g - s));
        if (n < G) n = G;
        return n;
    });
}

PassTable raiseTable(int G, int H) {
    return makeTable(PassKind::Raise, true, G, [&](int g) {
        const double q = double(g - G) / double(H - G);
        // Only a colour pixel above the ground colour at the ground's own level can
        // meet H = G (0 / 0); such a pixel keeps its colour.
        return G + std::floor((255 - G) * q);
    });
}

PassTable fillTable(int G, double v) {
    return makeTable(PassKind::Fill, false, G, [&](int g) { return double(cvWhole(std::floor(g + (G - g) * v))); });
}

PassTable invertTable(int G, int L, double v) {
    const auto t = static_cast<std::int32_t>(cvWhole(L + (G - L) * v));
    return makeTable(PassKind::Invert, false, G, [&](int g) { return g > t ? double(G) : double((G + t) - g); });
}

bool runPass(HeightImage& image, const PassTable& table, const ColumnHook& hook) {
    const int w = image.width(), h = image.height();
    const Colour groundColour = fcnGrayColor(table.ground);
    std::array<std::uint8_t, 256> lut{};
    for (int g = 0; g < 256; ++g) {
        const bool takesPart = table.mountains ? g > table.ground : g < table.ground;
        lut[std::size_t(g)] = takesPart ? table.level[std::size_t(g)] : std::uint8_t(g);
    }
    auto strip = [&](int x0, int x1) {
        const std::size_t n = std::size_t(x1 - x0);
        for (int y = 0; y < h; ++y) {
            const std::size_t at = std::size_t(y) * std::size_t(w) + std::size_t(x0);
            if (image.isGrey()) {
                if (y + kRowsAhead < h) prefetchSpan(image.grey() + at + std::size_t(kRowsAhead) * std::size_t(w), n);
                mapLevels(image.grey() + at, n, lut);
            } else {
                Colour* row = image.colour() + at;
                for (std::size_t i = 0; i < n; ++i) {
                    const Colour c = row[i];
                    const bool takesPart = table.mountains ? c > groundColour : c < groundColour;
                    const auto g = std::size_t(fcnGrayLevel(c));
                    if (takesPart && !table.keep[g]) row[i] = fcnGrayColor(table.level[g]);
                }
            }
        }
    };
    return walkColumns(w, h, strip, [](int) {}, hook);
}

std::string passStatusText(PassKind kind, int strength, int progress) {
    const std::string p = std::to_string(strength), c = std::to_string(progress);
    switch (kind) {
    case PassKind::Flatten: return "WORKING... Flattening Mountains " + p + "% - " + c + "%";
    case PassKind::Lower: return "WORKING... Lowering Mountains " + p + "% - " + c + "%";
    case PassKind::Raise: return "WORKING... Raising Mountains " + c + "%";
    case PassKind::Fill: return "WORKING... Filling in the Valleys by " + p + "% - " + c + "%";
    case PassKind::Invert: return "WORKING... Inverting the Valleys by " + p + "% - " + c + "%";
    }
    return {};
}

int mountainStrength(float mountainFactor) { return int(std::floor(double(mountainFactor) * 100.0)); }
int valleyStrength(double valleyFactor) { return int(std::floor(valleyFactor * 100.0)); }

}  // namespace morv
