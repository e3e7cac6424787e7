#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "core/Numbers.h"
#include "engine/HeightImage.h"

namespace morv {

/// The five terrain passes of Redraw.
enum class PassKind { Flatten, Lower, Raise, Fill, Invert };

/// A pass reduced to what it does to one pixel: which pixels take part (colour
/// above the ground colour for the mountain passes, below it for the valley
/// passes) and the new grey level for every old one. Every pass is a function of
/// the pixel's level alone, so a grey picture needs one table look-up per pixel.
struct PassTable {
    PassKind kind = PassKind::Flatten;
    bool mountains = true;      // takes part when colour > ground colour; else when colour < ground colour
    int ground = 128;           // G
    std::array<std::uint8_t, 256> level{};  // new level for each old level (already saturated)
    std::array<bool, 256> keep{};           // the formula has no value here: the pixel keeps its colour
};

/// Flatten: n = round down (g - (g - G) x m), m the single-precision mountains fraction.
PassTable flattenTable(int ground, float mountainFactor);
/// Lower: s = (H - 128) x m; n = convert to whole (g - s), never below G.
PassTable lowerTable(int ground, int high, float mountainFactor);
/// Raise: q = (g - G) / (H - G) in double precision; n = G + round down ((255 - G) x q).
PassTable raiseTable(int ground, int high);
/// Fill: n = round down (g + (G - g) x v), v the double-precision valleys fraction.
PassTable fillTable(int ground, double valleyFactor);
/// Invert: t = convert to whole (L + (G - L) x v); above t: G; else (G + t) - g.
PassTable invertTable(int ground, int low, double valleyFactor);

/// Runs a pass over the picture, column by column as far as progress and cancel
/// points go. hook is asked after each column; returns false when it stopped the pass.
bool runPass(HeightImage& image, const PassTable& table, const ColumnHook& hook);

/// The status text of a pass after a column: P is the strength percentage (unused
/// by Raise), C the progress percentage.
std::string passStatusText(PassKind kind, int strength, int progress);

/// The strength percentages the status texts show: the fraction x 100 rounded down,
/// worked out in double precision (a bar at 29 shows 28).
int mountainStrength(float mountainFactor);
int valleyStrength(double valleyFactor);

}  // namespace morv
