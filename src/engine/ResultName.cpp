#include "engine/ResultName.h"

#include "engine/FileNames.h"

namespace morv {

namespace {

const ResultCodeText& entry(ResultCode code) {
    for (const ResultCodeText& t : kResultCodes)
        if (t.code == code) return t;
    return kResultCodes.front();  // every code has its row
}

/// Moves pos past a run of digits; false when there is none.
bool skipDigits(std::string_view s, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
    return pos > start;
}

/// Moves pos past the code and its numbers when they stand there.
bool skipCode(std::string_view s, std::size_t& pos, const ResultCodeText& t) {
    if (s.substr(pos, t.prefix.size()) != t.prefix) return false;
    std::size_t at = pos + t.prefix.size();
    if (!skipDigits(s, at)) return false;
    if (t.pair && (at >= s.size() || s[at++] != 'x' || !skipDigits(s, at))) return false;
    pos = at;
    return true;
}

}  // namespace

std::string codeText(ResultCode code, int first, int second) {
    const ResultCodeText& t = entry(code);
    std::string text(t.prefix);
    text += std::to_string(first);
    if (t.pair) text.append("x").append(std::to_string(second));
    return text;
}

std::string resultName(const std::string& imageFile, int width, int height, const TerrainControls& c,
                       std::string& imageExt) {
    std::string name = withoutExtension(imageFile) + codeText(ResultCode::Size, width, height);
    if (!c.flattenTicked) {
        if (c.scaleUpTagged) name += codeText(ResultCode::ScaleUp, c.mountainsValue);
    } else {
        name += codeText(c.mountainMode == MountainMode::Flatten ? ResultCode::Flatten : ResultCode::Lower,
                         c.mountainsValue);
    }
    if (c.fillTicked)
        name += codeText(c.valleyMode == ValleyMode::Fill ? ResultCode::Fill : ResultCode::Invert, c.valleysValue);
    name += codeText(ResultCode::Blur, c.blurValue);
    imageExt = "bmp";
    return name + "." + imageExt;
}

std::string withFitAndExtension(const std::string& name, const std::string& fitTag, const std::string& ext) {
    const auto dot = name.find_last_of('.');
    const auto slash = name.find_last_of('/');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? name.substr(0, dot) : name) + fitTag + "." + ext;
}

bool isResultCodes(std::string_view s) {
    std::size_t pos = 0;
    for (NamePlace place : {NamePlace::Size, NamePlace::Mountains, NamePlace::Valleys, NamePlace::Blur,
                            NamePlace::BoardFit}) {
        bool found = false;
        for (const ResultCodeText& t : kResultCodes)
            if (t.place == place && !found) found = skipCode(s, pos, t);
        if (!found && (place == NamePlace::Size || place == NamePlace::Blur)) return false;
    }
    return pos == s.size();
}

}  // namespace morv
