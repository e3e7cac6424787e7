#include "io/AssetFolder.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "analysis/ColourRange.h"
#include "core/RuntimeError.h"
#include "engine/LevelMap.h"
#include "io/SafeWrite.h"
#include "io/PictureEncode.h"
#include "io/Thumbnail.h"

namespace morv {

namespace {

constexpr int kThumbWidth = 240, kThumbHeight = 180;

std::string thumbnailJpeg(const HeightImage& image, const std::string& path) {
    try {
        return encodeJpeg(thumbnailOf(image, kThumbWidth, kThumbHeight), 90);
    } catch (const std::runtime_error& e) {
        throw RuntimeError(err::PathFileAccess,
                           "Path/File access error: " + path + ": the thumbnail could not be encoded: " + e.what());
    }
}

}  // namespace

std::string kuidText(const AssetKuid& kuid) { return "<kuid:" + kuid.user + ":" + kuid.content + ">"; }

AssetFiles assetFileNames(const std::string& assetName) { return {assetName + ".png", "thumbnail.jpg", "config.txt"}; }

namespace {

/// A whole number 0..2147483647 (from 1 when zeroAllowed is false) written with
/// digits only, without a leading zero.
bool isWholeId(const std::string& text, bool zeroAllowed) {
    // Compared as text: ten digits without a leading zero sort as their numbers do.
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || text.size() > 10 || (text.size() == 10 && text > "2147483647")) return false;
    return text.front() != '0' || (zeroAllowed && text == "0");
}

/// A number of metres as a short text: "2", "0.25", "0.117".
std::string metresText(double metres) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", metres);
    std::string t = text;
    t.erase(t.find_last_not_of('0') + 1);
    if (t.back() == '.') t.pop_back();
    return t;
}

}  // namespace

std::string contentIdFor(const std::string& assetName) {
    std::uint32_t hash = 2166136261u;  // FNV-1a: fixed, so a name keeps its id between versions
    for (const char c : assetName) hash = (hash ^ std::uint8_t(c)) * 16777619u;
    return std::to_string(100001 + hash % 899999);
}

std::string userIdProblem(const std::string& text) {
    return isWholeId(text, false) ? std::string() : "The user id must be a whole number from 1 to 2147483647.";
}

std::string contentIdProblem(const std::string& text) {
    return isWholeId(text, true) ? std::string() : "The content id must be a whole number from 0 to 2147483647.";
}

std::string readKuid(const std::string& text, AssetKuid& kuid) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return "The kuid is written USER:CONTENT, two whole numbers.";
    AssetKuid read{text.substr(0, colon), text.substr(colon + 1)};
    for (const std::string& problem : {userIdProblem(read.user), contentIdProblem(read.content)})
        if (!problem.empty()) return problem;
    kuid = read;
    return {};
}

BrushLevels brushLevels(int ground, int low, int high) {
    BrushLevels b;
    b.ground = ground;
    const int up = 255 - kBrushNeutral, down = kBrushNeutral;
    if (high - ground > up) b.squeeze = double(up) / (high - ground);
    if (ground - low > down) b.squeeze = std::min(b.squeeze, double(down) / (ground - low));
    for (int v = 0; v < 256; ++v) {
        const long level = kBrushNeutral + std::lround((v - ground) * b.squeeze);
        b.level[std::size_t(v)] = std::uint8_t(std::clamp<long>(level, 0, 255));
    }
    return b;
}

std::string assetNameProblem(const std::string& text) {
    if (text.empty()) return "The asset needs a name.";
    if (text.front() == '.') return "The asset's name cannot begin with a dot.";
    for (const char c : text)
        if (c == '/' || c == '\\' || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "The asset's name cannot hold / \\ \" or control characters.";
    return {};
}

std::string brushDescription(const AssetBrush& brush, double squeeze) {
    std::string d = "Ground brush made with Morv from a height map. Where the brush is above level 127 it raises the "
                    "ground, where below it lowers it, by as much as the scale chosen when it is applied. Level 127 "
                    "was the map's ground level " + std::to_string(brush.ground) + ".";
    if (brush.levelMetres > 0) d += " One level stood for " + metresText(brush.levelMetres / squeeze) + " m in the map.";
    if (squeeze < 1)
        d += " The map's heights were pressed to " + metresText(squeeze * 100) + " % of their distance from the " +
             "ground to fit the brush's levels.";
    if (brush.kuid.user == AssetKuid::kNoUserId) d += " Put your user id in the kuid before you import this folder.";
    return d;
}

std::string assetConfig(const std::string& assetName, const std::string& imageFile, const AssetKuid& kuid,
                        const std::string& description) {
    const AssetKuid full{kuid.user, kuid.content.empty() ? contentIdFor(assetName) : kuid.content};
    return "kuid                                    " + kuidText(full) + "\n"
           "username                                \"" + assetName + "\"\n"
           "kind                                    \"groundbrush\"\n"
           "trainz-build                            3.5\n"
           "displacement-bitmap                     \"" + imageFile + "\"\n"
           "description                             \"" + description + "\"\n"
           "thumbnails\n"
           "{\n"
           "  0\n"
           "  {\n"
           "    image                               \"thumbnail.jpg\"\n"
           "    width                               240\n"
           "    height                              180\n"
           "  }\n"
           "}\n";
}

AssetFiles writeAssetFolder(const HeightImage& image, const std::string& folder, const std::string& assetName,
                            const AssetBrush& brush) {
    if (image.empty()) throw pictureError(folder, "an empty picture cannot be exported");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw fileError(folder, ec.value());
    AssetFiles names = assetFileNames(assetName);
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";

    GreyRange range;
    scanGreyRange(image, range, [](std::int64_t) { return false; });
    const BrushLevels levels = brushLevels(brush.ground, range.low, range.high);
    names.squeeze = levels.squeeze;
    HeightImage brushImage(image.width(), image.height(), HeightImage::Unset{});
    if (image.isGrey()) {
        std::copy_n(image.grey(), image.pixelCount(), brushImage.grey());
        mapLevels(brushImage.grey(), std::size_t(image.pixelCount()), levels.level);
    } else {
        // A height is a colour's grey level; the brush holds heights only.
        for (std::int64_t i = 0; i < image.pixelCount(); ++i)
            brushImage.grey()[i] = levels.level[std::size_t(fcnGrayLevel(image.colour()[i]))];
    }

    std::string png;
    encodePicture(brushImage, PictureType::Png8, [&png](const void* data, std::size_t size) {
        png.append(static_cast<const char*>(data), size);
    });
    writeFilesSafely({{base + names.image, std::move(png)},
                      {base + names.thumbnail, thumbnailJpeg(brushImage, base + names.thumbnail)},
                      {base + names.config,
                       assetConfig(assetName, names.image, brush.kuid, brushDescription(brush, levels.squeeze))}});
    return names;
}

}  // namespace morv
