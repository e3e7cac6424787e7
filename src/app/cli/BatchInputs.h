#pragma once
#include <functional>
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

}  // namespace morv::cli
