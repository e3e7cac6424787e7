#pragma once
#include <string>

#include "engine/TerrainSettings.h"

namespace morv {

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

}  // namespace morv
