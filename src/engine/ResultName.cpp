#include "engine/ResultName.h"

#include "engine/FileNames.h"

namespace morv {

std::string resultName(const std::string& imageFile, int width, int height, const TerrainControls& c,
                       std::string& imageExt) {
    std::string name = withoutExtension(imageFile);
    name.append("_").append(std::to_string(width)).append("x").append(std::to_string(height));
    const std::string mountains = std::to_string(c.mountainsValue);
    if (!c.flattenTicked) {
        if (c.scaleUpTagged) name += "_MSU-" + mountains;
    } else {
        name += (c.mountainMode == MountainMode::Flatten ? "_MF-" : "_ML-") + mountains;
    }
    if (c.fillTicked) name += (c.valleyMode == ValleyMode::Fill ? "_VF-" : "_VI-") + std::to_string(c.valleysValue);
    name += "_B-" + std::to_string(c.blurValue);
    imageExt = "bmp";
    return name + "." + imageExt;
}

std::string withFitAndExtension(const std::string& name, const std::string& fitTag, const std::string& ext) {
    const auto dot = name.find_last_of('.');
    const auto slash = name.find_last_of('/');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? name.substr(0, dot) : name) + fitTag + "." + ext;
}

}  // namespace morv
