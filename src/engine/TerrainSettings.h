#pragma once
#include <string>

namespace morv {

/// What Flatten Mountains does to terrain above the ground level.
enum class MountainMode { Flatten, Lower };

/// What Fill in Valleys does to terrain below the ground level.
enum class ValleyMode { Fill, Invert };

/// What the terrain controls say when a command reads them. The desktop program
/// reads its widgets; the command-line program fills it from its options.
struct TerrainControls {
    bool flattenTicked = false;                     // chkFlatten value 1
    MountainMode mountainMode = MountainMode::Flatten;  // chkFlatten's Tag and caption
    bool fillTicked = false;                        // chkFill value 1
    ValleyMode valleyMode = ValleyMode::Fill;       // chkFill's caption
    bool scaleUpTagged = false;                     // cmdScale Tag "True"
    int mountainsValue = 0;                         // vsbMountains
    int valleysValue = 100;                         // vsbValleys
    bool blurTicked = false;                        // chkBlur
    int blurValue = 0;                              // hsbBlur
    bool autoContours = false;                      // chkAutoContLine
};

/// The mountains fraction from the mountains bar (0..100): value / 100, held in
/// single precision, so a bar at 29 gives a fraction slightly below 0.29.
inline float mountainFactorFromBar(int value) { return static_cast<float>(value / 100.0); }

/// The valleys fraction from the valleys bar (0..100): value / 100 in double precision.
inline double valleyFactorFromBar(int value) { return value / 100.0; }

/// The mountains check box's caption for a mode.
inline std::string mountainsCaption(MountainMode mode, int value) {
    return (mode == MountainMode::Lower ? "Lower Mountains by " : "Flatten Mountains by ") + std::to_string(value) + "%";
}

/// The valleys check box's caption for a mode.
inline std::string valleysCaption(ValleyMode mode, int value) {
    return (mode == ValleyMode::Invert ? "Invert Valleys by " : "Fill in Valleys by ") + std::to_string(value) + "%";
}

/// True when the settings would render completely flat terrain: fill mode with
/// both bars at 100 (neither the mountains mode nor the ticks are looked at).
inline bool rendersFlatTerrain(ValleyMode mode, int valleysValue, int mountainsValue) {
    return mode == ValleyMode::Fill && valleysValue == 100 && mountainsValue == 100;
}

}  // namespace morv
