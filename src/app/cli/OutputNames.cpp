#include "app/cli/OutputNames.h"

#include <array>
#include <cctype>
#include <filesystem>

#include "app/cli/CliOptions.h"
#include "engine/FileNames.h"

namespace morv::cli {

namespace {

constexpr std::array kFormats = {
    OutputFormat{"bmp", "BMP"},
    OutputFormat{"png", "PNG"},
};

std::size_t lastPart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::span<const OutputFormat> outputFormats() { return kFormats; }

const OutputFormat* outputFormatFor(const std::string& path) {
    const std::string ext = lower(extensionOf(path));
    for (const OutputFormat& f : kFormats)
        if (ext == f.extension) return &f;
    return nullptr;
}

OutputChoice chooseOutput(const std::string& given) {
    OutputChoice c;
    if (given == "-") {
        c.error = "cannot write a result to standard output ('-'): a result is a pair of pictures, the map and its "
                  "contour image, which one stream cannot carry; name a file";
        return c;
    }
    std::error_code ec;
    if (given.empty() || given.back() == '/' || std::filesystem::is_directory(given, ec)) {
        c.error = "-o needs a file name, not the folder '" + oneLine(given) + "' (use --outdir for a folder)";
        return c;
    }
    c.path = extensionOf(given).empty() ? given + "." + kFormats.front().extension : given;
    c.format = outputFormatFor(c.path);
    if (!c.format) {
        std::string known;
        for (const OutputFormat& f : kFormats) known += std::string(known.empty() ? "" : ", ") + "." + f.extension;
        c.error = "cannot write '" + oneLine(given) + "': morv-cli writes " + known + " files";
    }
    return c;
}

std::string inFolder(const std::string& dir, const std::string& name) {
    const std::string file = name.substr(lastPart(name));
    if (dir.empty()) return file;
    return dir.back() == '/' ? dir + file : dir + "/" + file;
}

}  // namespace morv::cli
