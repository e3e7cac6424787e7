#include "app/cli/CliOptions.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "app/cli/GradeCommand.h"
#include "app/cli/ImportCommand.h"
#include "app/cli/OutputNames.h"
#include "core/Numbers.h"
#include "core/AppInfo.h"
#include "io/PictureEncode.h"

namespace morv::cli {

namespace {

/// A whole number lo..hi written with digits only.
bool readWhole(const std::string& text, int lo, int hi, int& out) {
    if (text.empty() || text.size() > 6) return false;
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text[0] == '-' || v < lo || v > hi) return false;
    out = v;
    return true;
}

/// The value of a number option lo..hi; the problem, or "".
std::string whole(const std::string& name, const std::string& value, int lo, int hi, int& out) {
    if (readWhole(value, lo, hi, out)) return {};
    return name + " takes a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) + ", not '" +
           oneLine(value) + "'";
}

std::string readMountains(Options& o, const std::string& name, const std::string& value) {
    if (o.mountains) return "use at most one of --flatten and --lower";
    o.mountains = name == "--flatten" ? MountainMode::Flatten : MountainMode::Lower;
    return whole(name, value, 0, 100, o.mountainsPercent);
}

std::string readValleys(Options& o, const std::string& name, const std::string& value) {
    if (o.valleys) return "use at most one of --fill and --invert";
    o.valleys = name == "--fill" ? ValleyMode::Fill : ValleyMode::Invert;
    return whole(name, value, 0, 100, o.valleysPercent);
}

std::string readJobs(Options& o, const std::string& name, const std::string& value) {
    int jobs = 0;
    std::string problem = whole(name, value, 1, 1024, jobs);
    o.jobs = unsigned(jobs);
    return problem;
}

/// Stores a parsed value, or says what the option takes.
template <class T, class U>
std::string choose(const std::string& name, const std::string& value, const char* expected,
                   const std::optional<T>& got, U& out) {
    if (!got) return name + " takes " + expected + ", not '" + oneLine(value) + "'";
    out = *got;
    return {};
}

std::string readLevels(Options& o, const std::string& n, const std::string& v) {
    return choose(n, v, "LOW:HIGH with 0 <= LOW < HIGH <= 65535", parseSampleRange(v), o.levels);
}

std::string readDepth(Options& o, const std::string& n, const std::string& v) {
    return choose(n, v, "8 or 24", parseDepth(v), o.depth);
}

std::string readBoards(Options& o, const std::string& n, const std::string& v) {
    static const std::string expected = "WxH, 1 to " + std::to_string(kMaxBoards) + " boards each way";
    return choose(n, v, expected.c_str(), parseBoardLayout(v), o.boards);
}

std::string readKuidOption(Options& o, const std::string& n, const std::string& v) {
    const std::string problem = readKuid(v, o.kuid);
    return problem.empty() ? problem : n + " '" + oneLine(v) + "': " + problem;
}

std::string readAssetGround(Options& o, const std::string& n, const std::string& v) {
    int level = 0;
    std::string problem = whole(n, v, 0, 255, level);
    o.assetGround = level;
    return problem;
}

std::string readGrid(Options& o, const std::string& n, const std::string& v) {
    o.fitAsked = true;
    return choose(n, v, "5 or 10", parseBoardGrid(v), o.grid);
}

std::string readFit(Options& o, const std::string& n, const std::string& v) {
    o.fitAsked = true;
    return choose(n, v, "crop, pad or scale", parseBoardFitMethod(v), o.fit);
}

/// A decimal number; nothing when malformed or not finite.
std::optional<double> readNumber(std::string_view text) {
    double v = 0;
    if (!readDecimal(text, v)) return std::nullopt;
    return v;
}

/// "X,Y" in pixels, each 0 or more.
std::optional<SitePoint> readPoint(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto x = readNumber(text.substr(0, comma)), y = readNumber(text.substr(comma + 1));
    if (!x || !y || *x < 0 || *y < 0) return std::nullopt;
    return SitePoint{*x, *y};
}

std::string readScaleMetres(Options& o, const std::string& n, const std::string& v) {
    const bool base = n == "--base-metres";
    std::optional<double> m = readNumber(v.ends_with('m') ? std::string_view(v).substr(0, v.size() - 1) : v);
    if (!m || (!base && *m <= 0))
        return n + " takes " + (base ? "a number of metres" : "a number of metres above 0") + ", not '" + oneLine(v) + "'";
    (n == "--level-metres" ? o.levelMetres : base ? o.baseMetres : o.pixelMetres) = *m;
    return {};
}

std::string readRect(Options& o, const std::string& n, const std::string& v) {
    if (o.site) return "use one --rect or --polygon";
    int r[4] = {};
    std::size_t from = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = i < 3 ? v.find(',', from) : v.size();
        if (comma == std::string::npos || !readWhole(v.substr(from, comma - from), 0, 65535, r[i]))
            return n + " takes X,Y,W,H in whole pixels, not '" + oneLine(v) + "'";
        from = comma + 1;
    }
    o.site = SiteShape::rectangle(r[0], r[1], r[2], r[3]);
    return {};
}

std::string readPolygon(Options& o, const std::string& n, const std::string& v) {
    if (o.site) return "use one --rect or --polygon";
    const auto p = readPoint(v);
    if (!p) return n + " takes corners X,Y in pixels, not '" + oneLine(v) + "'";
    o.site = SiteShape{{*p}};
    o.polygonOpen = true;
    return {};
}

std::string readHeight(Options& o, const std::string& n, const std::string& v) {
    return choose(n, v, "a level, or metres such as 312m", parseQuantity(v), o.height);
}

std::string readShoulder(Options& o, const std::string& n, const std::string& v) {
    return choose(n, v, "a width in pixels, or metres such as 20m", parseQuantity(v), o.shoulder);
}

std::string readGround(Options& o, const std::string& n, const std::string& v) {
    if (const auto q = parseQuantity(v); q && q->metres) {
        o.groundMetres = v;
        return {};
    }
    o.groundMetres.clear();
    return whole(n, v, 0, 255, o.ground);
}

/// "NAME takes WHAT, not 'VALUE'".
std::string takes(const std::string& name, const std::string& what, const std::string& value) {
    return oneLine(name) + " takes " + what + ", not '" + oneLine(value) + "'";
}

std::string readImportArea(Options& o, const std::string& n, const std::string& v) {
    std::vector<double> a;
    if (!readDecimalList(v, ',', 4, a) || !(a[0] < a[2] && a[1] < a[3]) || a[0] < -180 || a[2] > 180 || a[1] < -90 || a[3] > 90)
        return takes(n, "W,S,E,N in degrees with W below E and S below N", v);
    o.import.area = GeoBox{a[0], a[1], a[2], a[3]};
    return {};
}

std::string readImportResample(Options& o, const std::string& n, const std::string& v) {
    if (v == "bilinear") o.import.resampling = Resampling::Bilinear;
    else if (v == "cubic") o.import.resampling = Resampling::Cubic;
    else if (v == "average") o.import.resampling = Resampling::Average;
    else return takes(n, "bilinear, cubic or average", v);
    return {};
}

std::string readImportGrid(Options& o, const std::string& n, const std::string& v) {
    o.importGridGiven = true;
    return choose(n, v, "5 or 10", parseBoardGrid(v), o.import.grid);
}

std::string readImportSpacing(Options& o, const std::string& n, const std::string& v) {
    double m = 0;
    if (!readDecimal(v, m) || m <= 0) return takes(n, "a positive number of metres", v);
    o.import.spacing = m;
    return {};
}

std::string readImportBoards(Options& o, const std::string& n, const std::string& v) {
    std::vector<double> b;
    if (!readDecimalList(v, 'x', 2, b) || b[0] < 1 || b[1] < 1 || b[0] != std::floor(b[0]) || b[1] != std::floor(b[1]) ||
        b[0] > 100000 || b[1] > 100000)
        return takes(n, "WxH, two whole numbers of boards", v);
    o.import.boards = GridSize{int(b[0]), int(b[1])};
    return {};
}

std::string readImportHeights(Options& o, const std::string& n, const std::string& v) {
    std::vector<double> h;
    if (!readDecimalList(v, ':', 2, h) || !(h[0] < h[1])) return takes(n, "LOW:HIGH in metres with LOW below HIGH", v);
    o.import.lowHeight = h[0], o.import.highHeight = h[1];
    return {};
}

std::string readImportGround(Options& o, const std::string& n, const std::string& v) {
    double m = 0;
    if (!readDecimal(v, m)) return takes(n, "a height in metres", v);
    o.import.ground = m;
    return {};
}

std::string readImportOutside(Options& o, const std::string& n, const std::string& v) {
    if (v == "refuse") o.import.outside = OutsidePolicy::Refuse;
    else if (v == "ground") o.import.outside = OutsidePolicy::Ground;
    else if (v == "extend") o.import.outside = OutsidePolicy::Extend;
    else return takes(n, "refuse, ground or extend", v);
    return {};
}

std::string readImportVoids(Options& o, const std::string& n, const std::string& v) {
    if (v == "fill") o.import.voids = VoidPolicy::Fill;
    else if (v == "ground") o.import.voids = VoidPolicy::Ground;
    else if (v == "refuse") o.import.voids = VoidPolicy::Refuse;
    else return takes(n, "fill, ground or refuse", v);
    return {};
}

/// A path or name that may not be empty.
template <std::string Options::*Field>
std::string readText(Options& o, const std::string& n, const std::string& v) {
    o.*Field = v;
    return v.empty() ? oneLine(n) + " needs a path" : std::string();
}

constexpr std::array kOptions = {
    OptionRow{nullptr, "--ground", "N", kRedraw,
               "ground level, whole number 0..255 (default 128), or metres by the map's scale: 312m", readGround},
    OptionRow{nullptr, "--calc-base", nullptr, kRedraw, "set the ground level from each map's contour image",
               [](Options& o, const std::string&, const std::string&) { o.calcBase = true; return std::string(); }},
    OptionRow{nullptr, "--flatten", "P", kRedraw, "mountains: flatten by P percent (0..100)", readMountains},
    OptionRow{nullptr, "--lower", "P", kRedraw, "mountains: lower by P percent", readMountains},
    OptionRow{nullptr, "--fill", "P", kRedraw, "valleys: fill by P percent (0..100)", readValleys},
    OptionRow{nullptr, "--invert", "P", kRedraw, "valleys: invert by P percent", readValleys},
    OptionRow{nullptr, "--scale-up", nullptr, kRedraw, "scale the mountains up to 255",
               [](Options& o, const std::string&, const std::string&) { o.scaleUp = true; return std::string(); }},
    OptionRow{nullptr, "--blur", "N", kRedraw, "blur amount 0..48 (0: no blur)",
               [](Options& o, const std::string& n, const std::string& v) { return whole(n, v, 0, 48, o.blur); }},
    OptionRow{nullptr, "--contours", nullptr, kRedraw, "draw new contours after the passes and the blur",
               [](Options& o, const std::string&, const std::string&) { o.contours = true; return std::string(); }},
    OptionRow{"-o", "--output", "PATH", kRedraw | kLevel,
               "the one INPUT's result file (.bmp added if no extension)",
               [](Options& o, const std::string& n, const std::string& v) {
                   o.output = v;
                   return v.empty() ? oneLine(n) + " needs a path" : std::string();
               }},
    OptionRow{nullptr, "--outdir", "DIR", kRedraw, "write each result, under its result name, into DIR",
               [](Options& o, const std::string& n, const std::string& v) {
                   o.outdir = v;
                   return v.empty() ? oneLine(n) + " needs a folder" : std::string();
               }},
    OptionRow{nullptr, "--force", nullptr, kRedraw | kLevel, "replace existing output files",
               [](Options& o, const std::string&, const std::string&) { o.force = true; return std::string(); }},
    OptionRow{nullptr, "--depth", "8|24", kRedraw, "8-bit grey or 24-bit files (default: 8 for .png, else 24)",
               readDepth},
    OptionRow{nullptr, "--boards", "WxH", kRedraw, "fit each result to W x H whole base boards", readBoards},
    OptionRow{nullptr, "--grid", "5|10", kRedraw,
               "5 m grid, 144 pixels a board (default), or 10 m, 72 + 1", readGrid},
    OptionRow{nullptr, "--fit", "crop|pad|scale", kRedraw,
               "crop (default), pad with the ground level, or resample", readFit},
    OptionRow{nullptr, "--asset", "DIR", kRedraw,
               "write an asset folder (PNG, thumbnail, config.txt) in DIR",
               [](Options& o, const std::string& n, const std::string& v) {
                   o.assetDir = v;
                   return v.empty() ? oneLine(n) + " needs a folder" : std::string();
               }},
    OptionRow{nullptr, "--asset-ground", "LEVEL", kRedraw,
               "the map's level the asset holds at 127, neither up nor down (default: the ground level)",
               readAssetGround},
    OptionRow{nullptr, "--kuid", "USER:CONTENT", kRedraw,
               "the asset's kuid (default: YOUR-USER-ID to fill in, a content id from the name)", readKuidOption},
    OptionRow{nullptr, "--dry-run", nullptr, kRedraw, "check each INPUT and print the files it would write",
               [](Options& o, const std::string&, const std::string&) { o.dryRun = true; return std::string(); }},
    OptionRow{nullptr, "--json", nullptr, kInfo, "print JSON: an object per map, an array for several",
               [](Options& o, const std::string&, const std::string&) { o.json = true; return std::string(); }},
    OptionRow{nullptr, "--level-metres", "M", kScale, "metres one grey level stands for", readScaleMetres},
    OptionRow{nullptr, "--base-metres", "H", kScale, "the height in metres of level 0", readScaleMetres},
    OptionRow{nullptr, "--pixel-metres", "P", kScale, "metres across one pixel (default: 10 on the 10 m grid, else 5)",
               readScaleMetres},
    OptionRow{nullptr, "--rect", "X,Y,W,H", kLevel, "the site: W x H pixels from the top-left pixel X,Y", readRect},
    OptionRow{nullptr, "--polygon", "X,Y X,Y...", kLevel,
               "the site: three or more corners in pixels (even-odd fill)", readPolygon},
    OptionRow{nullptr, "--height", "H", kLevel, "the site's level, or metres: 312m (default: its mean level)",
               readHeight},
    OptionRow{nullptr, "--shoulder", "W", kLevel, "blend into the old ground over W pixels, or metres: 20m (default 0)",
               readShoulder},
    OptionRow{nullptr, "--levels", "LOW:HIGH", kAnyCommand,
               "16-bit samples the levels cover (default: the map's range)", readLevels},
    OptionRow{nullptr, "--jobs", "N", kAnyCommand, "work on N maps side by side (default: one per core)", readJobs},
    OptionRow{"-q", "--quiet", nullptr, kAnyCommand, "no progress, notes or summary; failures only",
               [](Options& o, const std::string&, const std::string&) { o.quiet = true; return std::string(); }},
    OptionRow{"-h", "--help", nullptr, kAnyCommand, "show this help", nullptr},
    OptionRow{nullptr, "--version", nullptr, kAnyCommand, "show the version", nullptr},
    // The import's own options; a missing value is named by what the option needs.
    OptionRow{"-o", "--output", "PATH", kImport,
               "the height map to write; its contour image gets CL before the extension", readText<&Options::output>,
               "a path"},
    OptionRow{nullptr, "--area", "W,S,E,N", kImport, "the area in degrees of longitude and latitude (default: all the input)",
               readImportArea, "W,S,E,N"},
    OptionRow{nullptr, "--crs", "CRS", kImport,
               "the map's coordinate system, such as EPSG:32632 (default: the UTM\n"
               "                    zone of the area's centre)",
               [](Options& o, const std::string& n, const std::string& v) {
                   o.import.crs = v;
                   return v.empty() ? oneLine(n) + " needs a coordinate system" : std::string();
               },
               "a coordinate system"},
    OptionRow{nullptr, "--resample", "R", kImport, "bilinear (default), cubic or average", readImportResample,
               "bilinear, cubic or average"},
    OptionRow{nullptr, "--grid", "5|10", kImport,
               "base-board grid in metres: 144 pixels a board, or 72 plus one (default 5)", readImportGrid, "5 or 10"},
    OptionRow{nullptr, "--spacing", "M", kImport, "metres between pixels instead of the grid's own (5 m grid boards)",
               readImportSpacing, "metres"},
    OptionRow{nullptr, "--boards", "WxH", kImport, "whole base boards to cut (default: as many as the area holds)",
               readImportBoards, "WxH"},
    // Its names fill the column: the text keeps the two spaces it always had.
    OptionRow{nullptr, "--heights", "LOW:HIGH", kImport,
               " heights in metres for levels 0 and 255 (default: the map's range)", readImportHeights, "LOW:HIGH"},
    OptionRow{nullptr, "--ground", "M", kImport, "the contour image's ground height in metres (default: the lowest)",
               readImportGround, "metres"},
    OptionRow{nullptr, "--depth", "8|24", kImport, "8-bit grey or 24-bit files (default: 8 for .png, else 24)",
               readDepth},
    OptionRow{nullptr, "--outside", "R", kImport,
               "past the data's extent: refuse (default), ground or extend the data", readImportOutside,
               "refuse, ground or extend"},
    OptionRow{nullptr, "--voids", "V", kImport, "pixels without data: fill (default, smoothly), ground or refuse",
               readImportVoids, "fill, ground or refuse"},
    OptionRow{nullptr, "--void-mask", "PATH", kImport, "also write a picture, white where the map is not from the data",
               readText<&Options::voidMask>, "a path"},
    OptionRow{nullptr, "--report", "FILE", kImport, "also write the report as JSON", readText<&Options::report>,
               "a path"},
    OptionRow{nullptr, "--force", nullptr, kImport, "replace existing output files",
               [](Options& o, const std::string&, const std::string&) { o.force = true; return std::string(); }},
    OptionRow{"-q", "--quiet", nullptr, kImport, "no progress line",
               [](Options& o, const std::string&, const std::string&) { o.quiet = true; return std::string(); }},
};

/// Help or version anywhere before "--" wins over everything else.
std::optional<Command> helpOrVersion(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a == "-h" || a == "--help") return Command::Help;
        if (a == "--version") return Command::Version;
    }
    return std::nullopt;
}

unsigned commandBit(Command c) {
    switch (c) {
    case Command::Info: return kInfo;
    case Command::Scale: return kScale;
    case Command::Level: return kLevel;
    case Command::Import: return kImport;
    default: return kRedraw;
    }
}

/// The row of name for the command bit, or else any row of that name.
const OptionRow* findOption(const std::string& name, unsigned bit) {
    const OptionRow* any = nullptr;
    for (const OptionRow& row : kOptions)
        if (name == row.longName || (row.shortName && name == row.shortName)) {
            if (row.commands & bit) return &row;
            if (!any) any = &row;
        }
    return any;
}

const char* commandName(Command c) {
    switch (c) {
    case Command::Info: return "info";
    case Command::Scale: return "scale";
    case Command::Level: return "level";
    case Command::Import: return "import";
    default: return "redraw";
    }
}

/// Takes an INPUT; the problem, or "".
std::string readInput(const std::string& a, Options& o) {
    if (a == "-")
        return "'-' cannot be an INPUT: a map is read together with its contour image beside it, which standard "
               "input cannot carry; name the file (./- for a file called -)";
    if (a.empty()) return "an INPUT cannot be empty";
    if (o.polygonOpen) {
        if (const auto corner = readPoint(a)) {
            o.site->corners.push_back(*corner);
            return {};
        }
        o.polygonOpen = false;
    }
    o.inputs.push_back(a);
    return {};
}

/// Whether a redraw has anything to do: a pass, a blur, new contours, a fit to
/// boards, an asset, a depth, or an output of another type than its input.
bool hasTask(const Options& o) {
    if (o.mountains || o.valleys || o.scaleUp || o.blur > 0 || o.contours || o.boards || !o.assetDir.empty() || o.depth)
        return true;
    if (o.output.empty() || o.inputs.size() != 1) return false;
    const OutputChoice out = chooseOutput(o.output);
    return out.error.empty() && out.format != outputFormatFor(o.inputs.front());
}

/// What is wrong with the options once all are read, or "". Fills in the checked output name.
std::string checkComplete(Options& o, const std::string& cmd) {
    if (o.inputs.empty()) return oneLine(cmd) + " needs an INPUT height map";
    if (o.command == Command::Scale || o.command == Command::Level) {
        if (o.inputs.size() > 1) return oneLine(cmd) + " works on one INPUT";
        if (o.command == Command::Level) {
            if (!o.site) return "level needs the site: --rect X,Y,W,H or --polygon X,Y X,Y X,Y...";
            if (o.site->corners.size() < 3) return "--polygon needs at least three corners";
            if (o.output.empty()) return "level needs -o OUT, the levelled map's file";
        }
    }
    if (o.command == Command::Redraw && !hasTask(o))
        return "no task: give --flatten, --lower, --fill, --invert, --scale-up, --blur, --contours, --boards, "
               "--asset, --depth or -o of another type";
    if (o.fitAsked && !o.boards) return "--grid and --fit need --boards";
    if (!o.assetDir.empty()) {
        if (!o.output.empty() || !o.outdir.empty()) return "use either --asset or -o / --outdir, not both";
        if (o.inputs.size() > 1) return "--asset makes the asset of one INPUT";
    } else if (o.assetGround || o.kuid.user != AssetKuid::kNoUserId) {
        return "--asset-ground and --kuid need --asset";
    }
    if (o.output.empty()) return {};
    if (!o.outdir.empty()) return "use either -o or --outdir, not both";
    if (o.inputs.size() > 1) return "-o names the result of one INPUT; for several, use --outdir DIR";
    const OutputChoice choice = chooseOutput(o.output);
    if (!choice.error.empty()) return choice.error;
    o.output = choice.path;
    return {};
}

}  // namespace

std::string readOption(const std::vector<std::string>& args, std::size_t& i, Options& o) {
    std::string name = args[i], value;
    bool inlineValue = false;
    if (name.rfind("--", 0) == 0) {
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
    }
    const unsigned bit = commandBit(o.command);
    const OptionRow* row = findOption(name, bit);
    // The import knows only its own options.
    if (!row || (bit == kImport && !(row->commands & bit))) return "unknown option '" + oneLine(name) + "'";
    if (!(row->commands & bit)) return std::string(commandName(o.command)) + " takes no option " + oneLine(name);
    if (!row->value && inlineValue) return oneLine(name) + " takes no value";
    if (row->value && !inlineValue) {
        if (i + 1 >= args.size()) return row->needs ? oneLine(name) + " needs " + row->needs : name + " needs a value";
        value = args[++i];
    }
    return row->read ? row->read(o, name, value) : std::string();
}


std::string helpLine(const OptionRow& row, std::size_t column) {
    std::string names = row.shortName ? std::string(row.shortName) + ", " : std::string();
    names += row.longName;
    if (row.value) names += std::string(" ") + row.value;
    names.resize(std::max<std::size_t>(names.size() + 1, column), ' ');
    return "  " + names + row.help + "\n";
}

std::span<const OptionRow> optionTable() { return kOptions; }

std::string oneLine(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string usageText() {
    std::string text =
        "Usage: morv-cli redraw INPUT... [options]\n"
        "       morv-cli info INPUT... [--json]\n"
        "       morv-cli import DEM... -o MAP.bmp [options]\n"
        "       morv-cli grade MAP --track FILE | --path X,Y X,Y... -o OUT [options]\n"
        "       morv-cli scale MAP [--level-metres M] [--base-metres H] [--pixel-metres P]\n"
        "       morv-cli level MAP --rect X,Y,W,H | --polygon X,Y X,Y... [--height H] [--shoulder W] -o OUT\n"
        "\n"
        "Reshapes grey-scale height maps (BMP, JPG, PNG, TIFF or TGA) with their contour\n"
        "images: the contour image of Ridge.bmp is RidgeCL.bmp beside it. An INPUT that\n"
        "is the contour image of another INPUT or of a map beside it, or a result made\n"
        "from another INPUT, is skipped with a note.\n";
    const std::pair<const char*, unsigned> sections[] = {
        {"redraw options:\n", kRedraw}, {"info options:\n", kInfo}, {"options of both:\n", kAnyCommand},
        {"scale options:\n", kScale}, {"level options:\n", kLevel}};
    for (const auto& [title, bits] : sections) {
        text += std::string("\n") + title;
        // A row shared with another command's own rows (-o) is listed under each.
        for (const OptionRow& row : kOptions)
            if (bits == kAnyCommand ? row.commands == bits : row.commands != kAnyCommand && (row.commands & bits))
                text += helpLine(row, 20);
    }
    text += "  --                  end of the options: every later argument is an INPUT\n"
            "\n"
            "info prints width, height, high, low, contour and base, one \"key: value\" a line,\n"
            "and for a 16-bit grey map how its samples became levels.\n"
            "\n"
            "scale shows or sets what a pixel and a level of MAP stand for, kept beside it\n"
            "in MAP's name with .scale.json; redraw, level and Save carry it with the map.\n"
            "level sets the site to one height and blends the ground around it into the old.\n"
            "\n";
    text += importUsageText();
    text += "\n";
    text += gradeUsageText();
    text += "\n"
            "Exit status: 0 success, 1 a map failed, 2 bad usage.\n";
    return text;
}

std::string versionLine() {
    return "morv-cli " + releaseVersion();
}

Parsed parseArguments(const std::vector<std::string>& args) {
    Options o;
    auto fail = [](std::string message) { return Parsed{std::nullopt, std::move(message)}; };
    if (const auto early = helpOrVersion(args)) {
        o.command = *early;
        return {o, {}};
    }
    if (args.empty()) return fail("no command given (try 'morv-cli --help')");
    const std::string& cmd = args[0];
    if (cmd == "redraw") o.command = Command::Redraw;
    else if (cmd == "info") o.command = Command::Info;
    else if (cmd == "scale") o.command = Command::Scale;
    else if (cmd == "level") o.command = Command::Level;
    else return fail("unknown command '" + oneLine(cmd) + "' (try 'morv-cli --help')");

    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string problem;
        if (!optionsEnded && a == "--") optionsEnded = true;
        else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            o.polygonOpen = false;
            problem = readOption(args, i, o);
        }
        else problem = readInput(a, o);
        if (!problem.empty()) return fail(problem);
    }
    if (std::string problem = checkComplete(o, cmd); !problem.empty()) return fail(problem);
    return {o, {}};
}

}  // namespace morv::cli
