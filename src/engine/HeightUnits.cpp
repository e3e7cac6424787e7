#include "engine/HeightUnits.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace morv {

namespace {

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

/// A level as written in messages: whole levels without decimals.
std::string levelText(double level) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", level);
    return buf;
}

}  // namespace

std::optional<Quantity> parseQuantity(std::string_view text) {
    text = trimmed(text);
    Quantity q;
    if (text.ends_with("px")) {
        text.remove_suffix(2);
    } else if (text.ends_with('m') || text.ends_with('M')) {
        q.metres = true;
        text.remove_suffix(1);
    }
    text = trimmed(text);
    if (text.empty() || text.front() == '+') return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), q.value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(q.value)) return std::nullopt;
    return q;
}

UnitAnswer levelOfHeight(const Quantity& height, const std::optional<MapScale>& scale) {
    double level = height.value;
    if (height.metres) {
        if (!scale || !scale->knowsHeights())
            return {0, "the map has no scale: a height in metres needs its metres per level"};
        level = scale->levelOfMetres(height.value);
    }
    const double rounded = std::nearbyint(level);
    if (rounded < 0 || rounded > 255) {
        const std::string asked = height.metres ? metresText(height.value) + " is level " + levelText(level) + ","
                                                : "level " + levelText(level) + " is";
        return {0, asked + " outside the levels 0..255"};
    }
    return {level, {}};
}

UnitAnswer pixelsOfLength(const Quantity& length, const std::optional<MapScale>& scale) {
    if (length.value < 0) return {0, "a length cannot be negative"};
    if (!length.metres) return {length.value, {}};
    if (!scale || !scale->knowsDistances())
        return {0, "the map has no scale: a length in metres needs its metres per pixel"};
    return {length.value / scale->pixelMetres, {}};
}

std::string metresText(double metres) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2f", metres);
    std::string s = buf;
    // "312.50" -> "312.5", "312.00" -> "312"
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s + " m";
}

}  // namespace morv
