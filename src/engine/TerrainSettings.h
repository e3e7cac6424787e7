#pragma once
#include <string>

namespace morv {

/// The mountains fraction from the mountains bar (0..100): value / 100, held in
/// single precision, so a bar at 29 gives a fraction slightly below 0.29.
inline float mountainFactorFromBar(int value) { return static_cast<float>(value / 100.0); }

/// The valleys fraction from the valleys bar (0..100): value / 100 in double precision.
inline double valleyFactorFromBar(int value) { return value / 100.0; }

/// The mountains check box's caption for a mode letter ('F' flatten, 'L' lower).
inline std::string mountainsCaption(char letter, int value) {
    return (letter == 'L' ? "Lower Mountains by " : "Flatten Mountains by ") + std::to_string(value) + "%";
}

/// The valleys check box's caption for a mode letter ('F' fill, 'I' invert).
inline std::string valleysCaption(char letter, int value) {
    return (letter == 'I' ? "Invert Valleys by " : "Fill in Valleys by ") + std::to_string(value) + "%";
}

/// True when the settings would render completely flat terrain: fill mode with
/// both bars at 100 (neither the mountains mode nor the ticks are looked at).
inline bool rendersFlatTerrain(char fillLetter, int valleysValue, int mountainsValue) {
    return fillLetter == 'F' && valleysValue == 100 && mountainsValue == 100;
}

}  // namespace morv
