#pragma once
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace morv {

/// Convert to whole: nearest whole number, ties to the even one (2.5 -> 2, 3.5 -> 4).
inline std::int64_t cvWhole(double v) noexcept { return static_cast<std::int64_t>(std::nearbyint(v)); }

/// Nearest whole number, halves away from zero (the "0" display pattern: 12.5 -> 13).
inline std::int64_t roundAway(double v) noexcept { return static_cast<std::int64_t>(std::round(v)); }

/// Progress of a pixel walk: visited / total x 100, converted to whole. The total
/// is the pixel count held in single precision, as the walks hold it.
inline int progressPercent(std::int64_t visited, float total) noexcept {
    return static_cast<int>(cvWhole(static_cast<double>(visited) / static_cast<double>(total) * 100.0));
}

/// Called after each column of a pixel walk with the number of pixels visited so
/// far; returns true to stop the walk there.
using ColumnHook = std::function<bool(std::int64_t visited)>;

/// A finite decimal number, all of text: an optional sign, digits with an optional
/// fraction and exponent ("12", "-0.5", "+3e2"); no blanks, no second sign ("+-5").
/// A leading '+' is taken because people write east and north that way.
inline bool readDecimal(std::string_view text, double& out) {
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-')) return false;
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

/// Decimal numbers as readDecimal reads them, parted by sep: true when text holds
/// exactly count of them, which are then in out.
inline bool readDecimalList(std::string_view text, char sep, std::size_t count, std::vector<double>& out) {
    out.clear();
    while (true) {
        const std::size_t at = text.find(sep);
        double v = 0;
        if (!readDecimal(text.substr(0, at), v)) return false;
        out.push_back(v);
        if (at == std::string_view::npos) return out.size() == count;
        text.remove_prefix(at + 1);
    }
}

}  // namespace morv
