#pragma once
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/App.h"
#include "engine/HeightImage.h"
#include "engine/MapScale.h"
#include "io/ElevationImport.h"
#include "io/PictureEncode.h"
#include "io/SafeWrite.h"

namespace morv {

/// The height map, its contour image and the report.
struct ImportResult {
    HeightImage map;
    HeightImage contour;
    HeightImage invented;  ///< 255 where the height is not the data's (filled, ground, extended), else 0
    ImportReport report;
};

/// Makes a height map from elevation data: reads the inputs onto the map's grid
/// (readElevation), fills the voids from their neighbours, maps the heights to
/// levels 0..255 (rounded to nearest) and draws the contour image: white, with
/// black where ground-level pixels meet higher terrain (the program's own contour
/// rule, markContours). Throws ImportError with a one-line message on bad input,
/// ImportCancelled when progress asks to stop.
ImportResult importElevation(const ImportOptions& options, const ImportProgress& progress = {});

/// What an import run by a front end came to: the result, or the error that
/// stopped it (an ImportError is a one-line refusal); neither when it was cancelled.
struct ImportOutcome {
    std::optional<ImportResult> result;
    std::exception_ptr error;
};

/// Import Elevation Data: importElevation as a traced command
/// ("frmImport.runImport"). Never throws what the import throws: the outcome holds it.
ImportOutcome runImport(App& app, const ImportOptions& options, const ImportProgress& progress);

/// The files an import writes, in the order they are named: the height map, its
/// contour image (CL before the extension) and, when reportPath is not empty, the
/// report.
std::vector<std::string> importTargets(const std::string& mapPath, const std::string& reportPath);

/// Asked whether an existing target may be replaced; true replaces it.
using ReplaceQuestion = std::function<bool(const std::string& path)>;

/// What the pixels and levels of an imported map stand for: its spacing, metres
/// per level from the height mapped to level 0, its coordinate system and place.
MapScale importedScale(const ImportReport& report);

/// Writes what an import made as one set, traced as "frmImport.cmdImport_Click":
/// the height map at mapPath and its contour image beside it, both as type, and
/// the map's scale file (importedScale) and the files in alongside (a report). Either every file is the new one or none
/// changed (see savePictureFiles). With Existing::Refuse each target that exists
/// is offered to replace first, and whether one exists is decided again,
/// atomically, when the set is committed; a file made meanwhile is offered too.
/// Returns false, with nothing written, when replace says no. Without replace an
/// existing target throws TargetExists. With maskPath the picture of what is not
/// data (result.invented) is written there in the same set, in the type its name
/// asks for. Throws RuntimeError (53, 61, 75, 7).
bool writeImport(App& app, const ImportResult& result, const std::string& mapPath, PictureType type,
                 Existing existing, const std::vector<FileContent>& alongside = {}, const ReplaceQuestion& replace = {},
                 const std::string& maskPath = {});

/// The report as lines of text ("size: 576 x 576 pixels, 4 x 4 boards"...).
std::string importReportText(const ImportReport& report);

/// Above this share of a map not from the data, an import warns.
inline constexpr double kInventedWarningShare = 0.05;

/// The warning for a map of which more than kInventedWarningShare is not from the
/// data ("warning: 41.0 % of the map is not from the data (...)"); "" otherwise.
std::string inventedTerrainWarning(const ImportReport& report);

}  // namespace morv
