#include "engine/PreviewLevels.h"

#include "engine/Passes.h"

namespace morv {

namespace {

/// Runs one pass on the table: the levels that take part move as a grey pixel of
/// that level would.
void follow(LevelTable& levels, const PassTable& pass) {
    for (std::uint8_t& g : levels) {
        const bool takesPart = pass.mountains ? g > pass.ground : g < pass.ground;
        if (takesPart) g = pass.level[g];
    }
}

}  // namespace

LevelCounts countLevels(const HeightImage& image) {
    LevelCounts counts{};
    const std::size_t n = std::size_t(image.pixelCount());
    if (image.isGrey()) {
        // Four tallies side by side, so one pixel need not wait for the last.
        std::array<LevelCounts, 4> part{};
        const std::uint8_t* p = image.grey();
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            ++part[0][p[i]];
            ++part[1][p[i + 1]];
            ++part[2][p[i + 2]];
            ++part[3][p[i + 3]];
        }
        for (; i < n; ++i) ++part[0][p[i]];
        for (const LevelCounts& c : part)
            for (std::size_t g = 0; g < 256; ++g) counts[g] += c[g];
    } else {
        const Colour* p = image.colour();
        for (std::size_t i = 0; i < n; ++i) ++counts[std::size_t(fcnGrayLevel(p[i]) & 0xff)];
    }
    return counts;
}

LevelTable previewLevels(const LevelPlan& plan, const LevelCounts& counts) {
    LevelTable levels{};
    for (int g = 0; g < 256; ++g) levels[std::size_t(g)] = std::uint8_t(g);
    if (plan.mountains)
        follow(levels, plan.mountainMode == MountainMode::Flatten ? flattenTable(plan.ground, plan.mountainFactor)
                                                                  : lowerTable(plan.ground, plan.high, plan.mountainFactor));
    if (plan.valleys)
        follow(levels, plan.valleyMode == ValleyMode::Fill ? fillTable(plan.ground, plan.valleyFactor)
                                                           : invertTable(plan.ground, plan.low, plan.valleyFactor));
    if (plan.scaleUp) {
        // The raise pass stretches to the highest level left by the passes before it.
        int high = 0;
        for (int g = 0; g < 256; ++g)
            if (counts[std::size_t(g)] > 0 && levels[std::size_t(g)] > high) high = levels[std::size_t(g)];
        follow(levels, raiseTable(plan.ground, high));
    }
    return levels;
}

}  // namespace morv
