#include "engine/SampleLevels.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <vector>

#include "engine/PixelKernels.h"

namespace morv {

std::uint8_t levelOfSample(std::uint32_t v, SampleRange r) noexcept {
    if (v <= r.low) return 0;
    if (v >= r.high) return 255;
    const std::uint64_t span = r.high - r.low;
    return std::uint8_t((std::uint64_t(v - r.low) * 510 + span) / (2 * span));
}

SampleRange sampleRangeOf(const std::uint16_t* samples, std::size_t n) noexcept {
    std::uint16_t low = 0, high = 0;
    pixelKernels().sampleRange(samples, n, &low, &high);
    return {low, high};
}

void mapSamplesToLevels(const std::uint16_t* samples, std::size_t n, SampleRange range, std::uint8_t* out) {
    std::vector<std::uint8_t> table(65536);
    for (std::uint32_t v = 0; v < table.size(); ++v) table[v] = levelOfSample(v, range);
    pixelKernels().mapSamples(samples, n, table.data(), out);
}

std::optional<SampleRange> parseSampleRange(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    auto number = [](std::string_view s) -> std::optional<std::uint32_t> {
        std::uint32_t v = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (s.empty() || ec != std::errc() || end != s.data() + s.size() || v > 65535) return std::nullopt;
        return v;
    };
    const auto low = number(text.substr(0, colon)), high = number(text.substr(colon + 1));
    if (!low || !high || *low >= *high) return std::nullopt;
    return SampleRange{*low, *high};
}

double unitsPerLevel(SampleRange range) noexcept { return double(range.high - range.low) / 255.0; }

std::string describeMapping(const LevelMapping& m) {
    char buf[200];
    std::snprintf(buf, sizeof buf, "%d-bit samples %u..%u (%s; found %u..%u) to levels 0..255, %.4g units a level",
                  m.bits, m.used.low, m.used.high, m.chosen ? "chosen" : "the map's own range", m.found.low,
                  m.found.high, unitsPerLevel(m.used));
    return buf;
}

}  // namespace morv
