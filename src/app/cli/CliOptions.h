#pragma once
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/BoardFit.h"
#include "engine/HeightUnits.h"
#include "engine/LevelSite.h"
#include "engine/SampleLevels.h"
#include "engine/TerrainSettings.h"
#include "io/AssetFolder.h"
#include "io/ElevationImport.h"

namespace morv::cli {

enum class Command { Redraw, Info, Scale, Level, Help, Version, Import };

/// What the command line asked for.
struct Options {
    Command command = Command::Help;
    std::vector<std::string> inputs;
    int ground = 128;
    bool calcBase = false;
    std::optional<MountainMode> mountains;  // none: the mountains stay
    int mountainsPercent = 0;
    std::optional<ValleyMode> valleys;      // none: the valleys stay
    int valleysPercent = 100;
    bool scaleUp = false;
    int blur = 0;
    bool contours = false;
    std::string output;       // -o, checked, ".bmp" added to a name without extension; empty: the result name
    std::string outdir;       // --outdir; empty: results beside their maps
    bool force = false;
    // Picture files: the samples 16-bit grey covers, the written depth, whole
    // boards and an asset folder.
    std::optional<SampleRange> levels;
    std::optional<int> depth;
    std::optional<std::pair<int, int>> boards;
    BoardGrid grid = BoardGrid::FiveMetre;
    BoardFitMethod fit = BoardFitMethod::Crop;
    std::string assetDir;
    AssetKuid kuid;                    // --kuid; the stand-ins without it
    std::optional<int> assetGround;    // --asset-ground; none: the ground level
    bool fitAsked = false;    // --grid or --fit given
    bool dryRun = false;
    bool json = false;
    bool quiet = false;
    unsigned jobs = 0;        // 0: as many as there are cores
    // --ground in metres as given ("312m"), turned into a level by each map's scale;
    // empty: ground holds the level.
    std::string groundMetres;
    // scale: the values to set (none given: the scale is shown).
    std::optional<double> levelMetres, baseMetres, pixelMetres;
    // level: the site, its height and the blend around it.
    std::optional<SiteShape> site;
    bool polygonOpen = false;  // later X,Y arguments are more corners of --polygon
    std::optional<Quantity> height;  // none: the mean under the site
    Quantity shoulder;
    // import: the elevation import's choices and its JSON report's path.
    ImportOptions import;
    std::string report;
    std::string voidMask;
    bool importGridGiven = false;
};

/// The commands an option belongs to, as bits. The import's options are its own
/// (its help lists them apart), so kAnyCommand leaves it out.
enum CommandBits : unsigned { kRedraw = 1, kInfo = 2, kAnyCommand = kRedraw | kInfo, kScale = 4, kLevel = 8, kImport = 16 };

/// One option of the command line: its names, the commands that take it, its
/// value's name and its line in --help. A new option is one more row.
struct OptionRow {
    const char* shortName;  // "-o", or nullptr
    const char* longName;   // "--output"
    const char* value;      // "PATH", or nullptr for a switch
    unsigned commands;      // CommandBits
    const char* help;
    /// Stores the option (value is empty for a switch); returns what is wrong with
    /// it, or "" when it was read. name is the option as given.
    std::string (*read)(Options& options, const std::string& name, const std::string& value);
    /// What a missing value is named in the message ("a path": "-o needs a path");
    /// nullptr: "needs a value".
    const char* needs = nullptr;
};

/// Every option, in the order --help lists them.
std::span<const OptionRow> optionTable();

/// Reads the option at args[i] for o.command (moving i past its value); the
/// problem, or "" when it was read.
std::string readOption(const std::vector<std::string>& args, std::size_t& i, Options& o);

/// The --help line of an option: two spaces, its names and value padded to column
/// (at least one space after them), then its text.
std::string helpLine(const OptionRow& row, std::size_t column);

/// The outcome of reading the arguments: options, or a usage error's message.
struct Parsed {
    std::optional<Options> options;
    std::string error;
};

/// Reads the arguments after the program name. Never throws; bad usage gives an error.
Parsed parseArguments(const std::vector<std::string>& args);

/// The text with control characters escaped (\n, \t, \xNN), so that a message
/// quoting it stays on one line.
std::string oneLine(const std::string& text);

/// The --help text.
std::string usageText();

/// The --version line: "morv-cli 1.2.0".
std::string versionLine();

}  // namespace morv::cli
