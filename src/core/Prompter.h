#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morv {

/// Message boxes and file dialogs, as the commands reach them. The desktop program
/// answers with real dialogs; tests answer with a script. Texts keep their lone
/// carriage returns as line breaks.
class Prompter {
public:
    virtual ~Prompter() = default;
    /// Shows a modal message box; style is a sum of mb:: codes; returns an mb:: answer (1..7).
    virtual int msgBox(std::string_view text, int style, std::string_view title) = 0;
    /// The open dialog: filter in "label|pattern|label|pattern" form, 1-based filter index,
    /// initial path. Returns the chosen path, or "" when cancelled.
    virtual std::string openFileName(std::string_view filter, int filterIndex, std::string_view initial) = 0;
    /// The open dialog choosing one or more existing files at once (filter and index as
    /// above). Returns the chosen paths, none when cancelled. Without its own dialog a
    /// prompter asks openFileName once.
    virtual std::vector<std::string> openFileNames(std::string_view filter, int filterIndex, std::string_view initial) {
        std::string one = openFileName(filter, filterIndex, initial);
        if (one.empty()) return {};
        return {std::move(one)};
    }
    /// The save dialog, starting from initial. Returns the chosen path, or "" when cancelled.
    virtual std::string saveFileName(std::string_view initial) = 0;
    /// The save dialog offering file types (labels such as "24-bit BMP (*.bmp)"),
    /// typeIndex (0-based) preselected and set to the type chosen. Without its own
    /// dialog a prompter asks saveFileName and leaves the type as it was.
    virtual std::string saveFileNameOfType(std::string_view initial, const std::vector<std::string>& types,
                                           int& typeIndex) {
        (void)types;
        (void)typeIndex;
        return saveFileName(initial);
    }
    /// A folder dialog starting in initial. Returns the chosen folder, or "" when
    /// cancelled. Without its own dialog a prompter asks saveFileName.
    virtual std::string folderName(std::string_view initial) { return saveFileName(initial); }
};

}  // namespace morv
