#include "app/cli/BatchInputs.h"

#include <map>
#include <set>

#include "engine/FileNames.h"
#include "engine/ResultName.h"
#include "io/ScaleFile.h"

namespace morv::cli {

std::string resultSourceStem(const std::string& path) {
    const std::string stem = withoutExtension(path);
    if (stem.size() == path.size()) return {};
    const std::size_t slash = stem.find_last_of('/');
    const std::size_t part = slash == std::string::npos ? 0 : slash + 1;
    // The longest source first: a result of a result keeps its first block.
    for (std::size_t p = stem.size(); p-- > part + 1;)
        if (stem[p] == '_' && isResultCodes(std::string_view(stem).substr(p))) return stem.substr(0, p);
    return {};
}

std::vector<BatchInput> sortInputs(const std::vector<std::string>& inputs, const NameRules& rules) {
    std::vector<BatchInput> out;
    std::set<std::string> seen;
    std::map<std::string, std::string> contourOwners;  // contour path -> the input it belongs to
    std::map<std::string, std::string> stems;          // an input less its extension -> the input
    std::map<std::string, std::string> scaleOwners;    // scale file path -> the input it belongs to
    for (const std::string& in : inputs) {
        if (!seen.insert(in).second) continue;
        if (!isScaleFileName(in)) scaleOwners.emplace(scalePathFor(in), in);
        contourOwners.emplace(rules.contourOf(in), in);
        stems.emplace(withoutExtension(in), in);
        out.push_back({in, Skip::None, {}});
    }
    for (BatchInput& in : out) {
        // A map's scale file is no picture, whether or not its map is among the inputs.
        if (isScaleFileName(in.path)) {
            in.skip = Skip::Companion;
            if (const auto owner = scaleOwners.find(in.path); owner != scaleOwners.end()) in.owner = owner->second;
            continue;
        }
        if (const auto owner = contourOwners.find(in.path); owner != contourOwners.end() && owner->second != in.path) {
            in.skip = Skip::Companion;
            in.owner = owner->second;
            continue;
        }
        // The height map beside a contour image: the name without the "CL" before its extension.
        const std::string stem = withoutExtension(in.path);
        if (stem.size() > 2 && stem.ends_with("CL") && stem[stem.size() - 3] != '/') {
            const std::string map = stem.substr(0, stem.size() - 2) + in.path.substr(stem.size());
            if (rules.contourOf(map) == in.path && rules.isFile(map)) {
                in.skip = Skip::Companion;
                in.owner = map;
                continue;
            }
        }
        if (const std::string source = resultSourceStem(in.path); !source.empty()) {
            if (const auto it = stems.find(source); it != stems.end() && it->second != in.path) {
                in.skip = Skip::EarlierResult;
                in.owner = it->second;
            }
        }
    }
    return out;
}

std::string skipNote(const BatchInput& in) {
    switch (in.skip) {
    case Skip::Companion:
        if (isScaleFileName(in.path))
            return "skipped " + in.path + (in.owner.empty() ? ": a map's scale file" : ": the scale file of " + in.owner);
        return "skipped " + in.path + ": the contour image of " + in.owner;
    case Skip::EarlierResult: return "skipped " + in.path + ": a result made from " + in.owner;
    case Skip::None: break;
    }
    return {};
}

}  // namespace morv::cli
