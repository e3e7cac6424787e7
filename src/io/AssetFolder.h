#pragma once
#include <string>

#include "engine/HeightImage.h"

namespace morv {

/// What an asset folder holds.
struct AssetFiles {
    std::string image;      ///< The height image's file name in the folder.
    std::string thumbnail;  ///< "thumbnail.jpg", 240 x 180.
    std::string config;     ///< "config.txt".
};

/// The config.txt of a height asset ("groundbrush" kind, trainz-build 3.5): a kuid
/// whose user id the builder fills in (YOUR-USER-ID), the asset's name, the
/// displacement bitmap's file name and the 240 x 180 JPEG thumbnail.
std::string assetConfig(const std::string& assetName, const std::string& imageFile);

/// Writes a ready asset into folder (made when missing): the picture as an 8-bit
/// grey PNG named assetName + ".png", a 240 x 180 JPEG thumbnail of it (the map
/// scaled to fit, centred on black) and config.txt. All three files are written
/// safely together: on any failure none is changed. Throws RuntimeError.
AssetFiles writeAssetFolder(const HeightImage& image, const std::string& folder, const std::string& assetName);

}  // namespace morv
