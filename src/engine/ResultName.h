#pragma once
#include <array>
#include <string>
#include <string_view>

#include "engine/TerrainSettings.h"

namespace morv {

/// The codes a result name is made of, each with its number or numbers.
enum class ResultCode {
    Size,      // "_" W "x" H: the picture's size in pixels
    ScaleUp,   // "_MSU-" N: mountains scaled up, not flattened
    Flatten,   // "_MF-" N
    Lower,     // "_ML-" N
    Fill,      // "_VF-" N
    Invert,    // "_VI-" N
    Blur,      // "_B-" N
    Boards,    // "_FB-" W "x" H: fitted to whole boards on the 5 m grid
    Boards10,  // "_FB10-" W "x" H: the same on the 10 m grid
};

/// Where a code stands in a name: the places come in this order, at most one code
/// each; the size and the blur are always there, the others only when done.
enum class NamePlace { Size, Mountains, Valleys, Blur, BoardFit };

struct ResultCodeText {
    ResultCode code;
    NamePlace place;
    std::string_view prefix;
    bool pair;  // two numbers, W "x" H, rather than one
};

/// Every code a result name may hold: what writes a name and what reads one back
/// both go by this table.
inline constexpr std::array<ResultCodeText, 9> kResultCodes{{
    {ResultCode::Size, NamePlace::Size, "_", true},
    {ResultCode::ScaleUp, NamePlace::Mountains, "_MSU-", false},
    {ResultCode::Flatten, NamePlace::Mountains, "_MF-", false},
    {ResultCode::Lower, NamePlace::Mountains, "_ML-", false},
    {ResultCode::Fill, NamePlace::Valleys, "_VF-", false},
    {ResultCode::Invert, NamePlace::Valleys, "_VI-", false},
    {ResultCode::Blur, NamePlace::Blur, "_B-", false},
    {ResultCode::Boards, NamePlace::BoardFit, "_FB-", true},
    {ResultCode::Boards10, NamePlace::BoardFit, "_FB10-", true},
}};

/// One code as it stands in a name: "_MF-40" (second unused), "_576x432", "_FB-4x3".
std::string codeText(ResultCode code, int first, int second = 0);

/// The name Redraw gives its result: the image path less its extension (whatever
/// its length; a three-letter one is the last four characters),
/// "_" W "x" H, the mountains code ("_MSU-", "_MF-" or "_ML-" with the mountains
/// bar), the valleys code ("_VF-" or "_VI-" with the valleys bar), "_B-" with the
/// blur bar, and "." + extension ("bmp", which is also stored in imageExt).
std::string resultName(const std::string& imageFile, int width, int height, const TerrainControls& controls,
                       std::string& imageExt);

/// A result name given what else was done and how it is written: fitTag (such as
/// "_FB-4x3") put before the extension, and the extension replaced by ext.
std::string withFitAndExtension(const std::string& name, const std::string& fitTag, const std::string& ext);

/// True when codes is exactly what a result name adds to its source's name, less
/// the extension: the size, then the codes in their places, each with its numbers
/// ("_576x432_MF-40_B-0_FB-4x3").
bool isResultCodes(std::string_view codes);

}  // namespace morv
