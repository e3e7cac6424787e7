#include "engine/ResultName.h"

#include <algorithm>
#include <cctype>

namespace morv {

namespace {
bool readsAsTrue(const std::string& tag) {
    std::string t = tag;
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return t == "true";
}
}  // namespace

std::string resultName(const std::string& imageFile, int width, int height, const TerrainControls& c,
                       std::string& imageExt) {
    std::string name = imageFile.substr(0, imageFile.size() >= 4 ? imageFile.size() - 4 : 0);
    name.append("_").append(std::to_string(width)).append("x").append(std::to_string(height));
    const std::string mountains = std::to_string(c.mountainsValue);
    if (!c.flattenTicked) {
        if (readsAsTrue(c.scaleTag)) name += "_MSU-" + mountains;
    } else if (c.flattenLetter == 'F') {
        name += "_MF-" + mountains;
    } else if (c.flattenLetter == 'L') {
        name += "_ML-" + mountains;
    }
    if (c.fillTicked) {
        if (c.fillLetter == 'F') name += "_VF-" + std::to_string(c.valleysValue);
        else if (c.fillLetter == 'I') name += "_VI-" + std::to_string(c.valleysValue);
    }
    name += "_B-" + std::to_string(c.blurValue);
    imageExt = "bmp";
    return name + "." + imageExt;
}

}  // namespace morv
