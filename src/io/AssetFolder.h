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

/// The two numbers of an asset's kuid, <kuid:USER:CONTENT>. The user id left as
/// kNoUserId is a stand-in the builder replaces by hand before importing.
struct AssetKuid {
    static constexpr const char* kNoUserId = "YOUR-USER-ID";
    std::string user = kNoUserId;
    std::string content = "100001";
};

/// The kuid as config.txt writes it: "<kuid:USER:CONTENT>".
std::string kuidText(const AssetKuid& kuid);

/// The names of the files an asset called assetName is written as.
AssetFiles assetFileNames(const std::string& assetName);

/// Why text cannot be the user id of a kuid ("" when it can): a whole number from
/// 1 to 2147483647, digits only without a leading zero.
std::string userIdProblem(const std::string& text);

/// Why text cannot name an asset ("" when it can): the name is the picture's file
/// name (plus ".png") and a quoted string in config.txt, so it must not be empty,
/// begin with a dot, or hold '/', '\\', '"' or a control character.
std::string assetNameProblem(const std::string& text);

/// The config.txt of a height asset ("groundbrush" kind, trainz-build 3.5): its
/// kuid, the asset's name, the displacement bitmap's file name and the 240 x 180
/// JPEG thumbnail. Its description asks for the user id while the kuid has none.
std::string assetConfig(const std::string& assetName, const std::string& imageFile, const AssetKuid& kuid = {});

/// Writes a ready asset into folder (made when missing): the picture as an 8-bit
/// grey PNG named assetName + ".png", a 240 x 180 JPEG thumbnail of it (the map
/// scaled to fit, centred on black) and config.txt with kuid. All three files are
/// written safely together: on any failure none is changed. Throws RuntimeError.
AssetFiles writeAssetFolder(const HeightImage& image, const std::string& folder, const std::string& assetName,
                            const AssetKuid& kuid = {});

}  // namespace morv
