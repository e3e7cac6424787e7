#include "analysis/GroundLevel.h"

#include <algorithm>
#include <cmath>

#include "core/RuntimeError.h"
#include "engine/HeightUnits.h"

namespace morv {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::int16_t groundLevelFromText(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // The whole part, held exactly up to well past the 16-bit range.
    constexpr std::int64_t kBeyond = 1'000'000;
    std::int64_t whole = 0;
    std::size_t i = 0, digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++digits) whole = std::min(kBeyond, whole * 10 + (text[i] - '0'));
    // The fraction decides the rounding by its first digit and whether any other follows.
    int firstFraction = 0;
    bool restNonZero = false;
    if (i < text.size() && text[i] == '.') {
        for (std::size_t k = ++i; i < text.size() && isDigit(text[i]); ++i, ++digits) {
            if (i == k) firstFraction = text[i] - '0';
            else restNonZero = restNonZero || text[i] != '0';
        }
    }
    if (digits == 0 || i != text.size()) throw RuntimeError(err::TypeMismatch);
    const bool up = firstFraction > 5 || (firstFraction == 5 && (restNonZero || whole % 2 == 1));
    const std::int64_t level = (whole + (up ? 1 : 0)) * (negative ? -1 : 1);
    if (level < -32768 || level > 32767) throw RuntimeError(err::Overflow);
    if (level < 0 || level > 255) throw RuntimeError(err::InvalidPropertyValue);
    return std::int16_t(level);
}

std::int16_t groundLevelFromText(std::string_view text, const std::optional<MapScale>& scale) {
    const std::optional<Quantity> height = parseQuantity(text);
    if (!height || !height->metres) return groundLevelFromText(text);
    const UnitAnswer level = levelOfHeight(*height, scale);
    if (!level.problem.empty()) throw RuntimeError(err::InvalidPropertyValue, level.problem);
    return std::int16_t(std::nearbyint(level.value));
}

}  // namespace morv
