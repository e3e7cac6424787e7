#include "io/AssetFolder.h"

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "core/RuntimeError.h"
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

std::string userIdProblem(const std::string& text) {
    // Compared as text: ten digits without a leading zero sort as their numbers do.
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || text.front() == '0' || text.size() > 10 || (text.size() == 10 && text > "2147483647"))
        return "The user id must be a whole number from 1 to 2147483647.";
    return {};
}

std::string assetNameProblem(const std::string& text) {
    if (text.empty()) return "The asset needs a name.";
    if (text.front() == '.') return "The asset's name cannot begin with a dot.";
    for (const char c : text)
        if (c == '/' || c == '\\' || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "The asset's name cannot hold / \\ \" or control characters.";
    return {};
}

std::string assetConfig(const std::string& assetName, const std::string& imageFile, const AssetKuid& kuid) {
    const bool userGiven = kuid.user != AssetKuid::kNoUserId;
    return "kuid                                    " + kuidText(kuid) + "\n"
           "username                                \"" + assetName + "\"\n"
           "kind                                    \"groundbrush\"\n"
           "trainz-build                            3.5\n"
           "displacement-bitmap                     \"" + imageFile + "\"\n"
           "description                             \"Height map made with Morv." +
           (userGiven ? std::string() : std::string(" Put your user id in the kuid before you import this folder.")) +
           "\"\n"
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
                            const AssetKuid& kuid) {
    if (image.empty()) throw pictureError(folder, "an empty picture cannot be exported");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw fileError(folder, ec.value());
    const AssetFiles names = assetFileNames(assetName);
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";

    std::string png;
    encodePicture(image, PictureType::Png8, [&png](const void* data, std::size_t size) {
        png.append(static_cast<const char*>(data), size);
    });
    writeFilesSafely({{base + names.image, std::move(png)},
                      {base + names.thumbnail, thumbnailJpeg(image, base + names.thumbnail)},
                      {base + names.config, assetConfig(assetName, names.image, kuid)}});
    return names;
}

}  // namespace morv
