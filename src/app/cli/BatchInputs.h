#pragma once
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morv::cli {

/// Why an input of a batch is not processed as a map.
enum class Skip {
    None,           // a height map: processed
    Companion,      // the contour image of another input or of a height map beside it, or a scale file
    EarlierResult,  // a result an earlier run made from another input of this call
};

/// One input of a batch and what becomes of it.
struct BatchInput {
    std::string path;
    Skip skip = Skip::None;
    std::string owner;  // the map a skipped input belongs to
};

/// The contour name rule, and a test for an ordinary file, as the batch uses them.
struct NameRules {
    std::function<std::string(const std::string&)> contourOf;
    std::function<bool(const std::string&)> isFile;
};

/// Sorts the inputs, in their order, into maps and inputs to skip: an input that is
/// the contour image of another input, or of a height map lying beside it, is a
/// companion; an input whose name is the result name of another input of the call
/// (its name less its extension, then the size and operation codes) is an earlier
/// result. An input given twice is processed once.
std::vector<BatchInput> sortInputs(const std::vector<std::string>& inputs, const NameRules& rules);

/// The note for a skipped input, one line without the program's prefix:
/// "skipped maps/HillsCL.bmp: the contour image of maps/Hills.bmp".
std::string skipNote(const BatchInput& input);

/// For a path named as results are named (".../Hills_576x576_ML-20_B-0.bmp", or
/// fitted to boards ".../Hills_576x432_ML-20_B-0_FB-4x3.png") the path of the
/// source less its extension (".../Hills"); otherwise empty.
std::string resultSourceStem(const std::string& path);

/// Keeps two maps of one batch from writing the same file, the same way whatever
/// order the jobs finish in: of two maps whose outputs share a path, the earlier
/// input writes and the later one fails. Only maps of equal key (the folder and
/// name their outputs are formed from) are compared, in input order. Thread-safe.
class OutputClaims {
public:
    explicit OutputClaims(const std::vector<std::string>& keys);

    /// Claims paths for map i, once every earlier map of the same key has claimed
    /// its paths or given up. Returns the earlier map holding one of the paths, or
    /// nothing when they are now map i's.
    std::optional<std::size_t> claim(std::size_t i, const std::vector<std::string>& paths);
    /// Map i claims nothing more (it failed, or it claimed already).
    void settle(std::size_t i);

private:
    std::vector<std::optional<std::size_t>> m_previous;  // the earlier map of the same key
    std::vector<char> m_settled;
    std::vector<std::vector<std::string>> m_paths;
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

}  // namespace morv::cli
