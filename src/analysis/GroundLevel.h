#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/MapScale.h"

namespace morv {

/// The ground level typed into the ground level box, as the scroll bar takes it:
/// blanks around, an optional sign, digits and an optional decimal fraction,
/// rounded to the nearest whole number with halves to the even one (64.5 -> 64,
/// 65.5 -> 66). Throws RuntimeError 13 for text that is not a number, 6 for a
/// number beyond the 16-bit range and 380 for one outside 0..255.
std::int16_t groundLevelFromText(std::string_view text);

/// The same, also taking a height in metres ("312 m", "312m") through the map's
/// scale, to the nearest level (halves to the even one). Throws RuntimeError 380,
/// its description saying why, for metres on a map without a heights' scale or
/// metres outside levels 0..255; other text as above.
std::int16_t groundLevelFromText(std::string_view text, const std::optional<MapScale>& scale);

}  // namespace morv
