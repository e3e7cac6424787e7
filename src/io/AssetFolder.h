#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/HeightImage.h"

namespace morv {

/// What an asset folder holds.
struct AssetFiles {
    std::string image;      ///< The height image's file name in the folder.
    std::string thumbnail;  ///< "thumbnail.jpg", 240 x 180.
    std::string config;     ///< "config.txt".
    /// How much the map's heights were pressed together to fit the brush: 1, or
    /// less when some lay more than 128 levels above or 127 below the ground.
    double squeeze = 1;
};

/// The two numbers of an asset's kuid, <kuid:USER:CONTENT>. The user id left as
/// kNoUserId is a stand-in the builder replaces by hand before importing; the
/// content id left empty is made from the asset's name (contentIdFor).
struct AssetKuid {
    static constexpr const char* kNoUserId = "YOUR-USER-ID";
    std::string user = kNoUserId;
    std::string content;
};

/// The kuid as config.txt writes it: "<kuid:USER:CONTENT>".
std::string kuidText(const AssetKuid& kuid);

/// A content id for an asset that was given none, made from its name: 100001 to
/// 999999, the same for the same name, so that assets of different names seldom
/// share a kuid.
std::string contentIdFor(const std::string& assetName);

/// Why text cannot be a kuid's content id ("" when it can): a whole number from 0
/// to 2147483647, digits only without a leading zero.
std::string contentIdProblem(const std::string& text);

/// Reads "USER:CONTENT" into kuid; returns why it cannot ("" when it could).
std::string readKuid(const std::string& text, AssetKuid& kuid);

/// The brush's neutral level: the simulator raises the ground where the brush is
/// above it and lowers it where below.
inline constexpr int kBrushNeutral = 127;

/// How the levels of a map become the brush's: the map's ground level becomes
/// kBrushNeutral and every other level keeps its distance from it times squeeze,
/// rounded to the nearest level. squeeze is 1 unless the map's levels low..high
/// reach further from the ground than the brush can (128 up, 127 down); then it
/// is the largest factor that brings them inside.
struct BrushLevels {
    int ground = kBrushNeutral;
    double squeeze = 1;
    std::array<std::uint8_t, 256> level{};
};
BrushLevels brushLevels(int ground, int low, int high);

/// What an asset is made of besides the picture.
struct AssetBrush {
    AssetKuid kuid;
    int ground = kBrushNeutral;  ///< the map's ground level, 0..255, which becomes kBrushNeutral
    double levelMetres = 0;      ///< metres one level of the map stands for; 0 when unknown
};

/// The names of the files an asset called assetName is written as.
AssetFiles assetFileNames(const std::string& assetName);

/// Why text cannot be the user id of a kuid ("" when it can): a whole number from
/// 1 to 2147483647, digits only without a leading zero.
std::string userIdProblem(const std::string& text);

/// Why text cannot name an asset ("" when it can): the name is the picture's file
/// name (plus ".png") and a quoted string in config.txt, so it must not be empty,
/// begin with a dot, or hold '/', '\\', '"' or a control character.
std::string assetNameProblem(const std::string& text);

/// The description config.txt gives the brush: what its levels do, which level of
/// the map was its ground, how many metres a brush level stood for in the map
/// (when levelMetres is known; divided by squeeze), how much the heights were
/// squeezed (when they were), and a reminder while the kuid has no user id.
std::string brushDescription(const AssetBrush& brush, double squeeze);

/// The config.txt of a height asset ("groundbrush" kind, trainz-build 3.5): its
/// kuid (the content id made from the name when none was given), the asset's
/// name, the displacement bitmap's file name, the description and the 240 x 180
/// JPEG thumbnail.
std::string assetConfig(const std::string& assetName, const std::string& imageFile, const AssetKuid& kuid,
                        const std::string& description);

/// Writes a ready asset into folder (made when missing): the map's levels as the
/// brush's (brushLevels for brush.ground and the map's own range) in an 8-bit
/// grey PNG named assetName + ".png", a 240 x 180 JPEG thumbnail of it (scaled to
/// fit, centred on black) and config.txt. All three files are written safely
/// together: on any failure none is changed. Throws RuntimeError.
AssetFiles writeAssetFolder(const HeightImage& image, const std::string& folder, const std::string& assetName,
                            const AssetBrush& brush = {});

}  // namespace morv
