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

OutputClaims::OutputClaims(const std::vector<std::string>& keys)
    : m_previous(keys.size()), m_settled(keys.size(), 0), m_paths(keys.size()) {
    std::map<std::string, std::size_t> last;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (const auto it = last.find(keys[i]); it != last.end()) m_previous[i] = it->second;
        last[keys[i]] = i;
    }
}

std::optional<std::size_t> OutputClaims::claim(std::size_t i, const std::vector<std::string>& paths) {
    std::unique_lock lock(m_mutex);
    // The maps of one key are handed out in input order, so the earlier ones are
    // running or done: waiting for them cannot wait for this one.
    m_changed.wait(lock, [&] {
        for (auto j = m_previous[i]; j; j = m_previous[*j])
            if (!m_settled[*j]) return false;
        return true;
    });
    std::optional<std::size_t> holder;
    for (auto j = m_previous[i]; j && !holder; j = m_previous[*j])
        for (const std::string& p : paths)
            for (const std::string& q : m_paths[*j])
                if (p == q) holder = *j;
    if (!holder) m_paths[i] = paths;
    m_settled[i] = 1;
    lock.unlock();
    m_changed.notify_all();
    return holder;
}

void OutputClaims::settle(std::size_t i) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_settled[i]) return;
        m_settled[i] = 1;
    }
    m_changed.notify_all();
}

}  // namespace morv::cli
