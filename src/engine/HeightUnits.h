#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "engine/MapScale.h"

namespace morv {

/// A height or length as typed: a bare number is in the map's own units (grey
/// levels for a height, pixels for a length), one followed by "m" is in metres.
struct Quantity {
    double value = 0;
    bool metres = false;
    friend bool operator==(const Quantity&, const Quantity&) = default;
};

/// Reads "140", "312m", "312 m", "-4.5 m", "20px" (the "px" only for pixels);
/// surrounding spaces are ignored. Nothing when it is no finite number with one
/// of those units.
std::optional<Quantity> parseQuantity(std::string_view text);

/// A value worked out from a quantity, or why it cannot be.
struct UnitAnswer {
    double value = 0;
    std::string problem;  ///< "" when value holds the answer
};

/// The grey level (unrounded) a height stands for: levels as given, metres through
/// the map's scale. A problem when metres are given and the map has no heights'
/// scale, or when the level lies outside 0..255 once rounded.
UnitAnswer levelOfHeight(const Quantity& height, const std::optional<MapScale>& scale);

/// Pixels a length stands for: pixels as given, metres through the map's metres
/// a pixel. A problem when metres are given without that scale, or when negative.
UnitAnswer pixelsOfLength(const Quantity& length, const std::optional<MapScale>& scale);

/// A height in metres as the program writes it: "312.5 m" (at most two decimals).
std::string metresText(double metres);

}  // namespace morv
