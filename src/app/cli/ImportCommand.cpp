#include "app/cli/ImportCommand.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/cli/CliOptions.h"
#include "core/Numbers.h"

namespace morv::cli {

std::string importUsageText() {
    return "import makes a height map and its contour image from elevation data and prints\n"
           "a report: size, metres per grey level, heights, area, voids filled.\n"
           "\n"
           "import options:\n"
           "  DEM...            elevation files GDAL reads (SRTM .hgt, GeoTIFF, ESRI ASCII grid,\n"
           "                    USGS DEM), mosaicked; heights in metres\n"
           "  -o, --output PATH the height map to write; its contour image gets CL before the extension\n"
           "  --area W,S,E,N    the area in degrees of longitude and latitude (default: all the input)\n"
           "  --crs CRS         the map's coordinate system, such as EPSG:32632 (default: the UTM\n"
           "                    zone of the area's centre)\n"
           "  --resample R      bilinear (default), cubic or average\n"
           "  --grid 5|10       base-board grid in metres: 144 pixels a board, or 72 plus one (default 5)\n"
           "  --spacing M       metres between pixels instead of the grid's own (5 m grid boards)\n"
           "  --boards WxH      whole base boards to cut (default: as many as the area holds)\n"
           "  --heights LOW:HIGH  heights in metres for levels 0 and 255 (default: the map's range)\n"
           "  --ground M        the contour image's ground height in metres (default: the lowest)\n"
           "  --report FILE     also write the report as JSON\n"
           "  --force           replace existing output files\n"
           "  -q, --quiet       no progress line\n";
}

ImportParsed parseImportArguments(const std::vector<std::string>& args) {
    ImportRequest r;
    ImportParsed bad;
    auto fail = [&](std::string message) {
        bad.error = std::move(message);
        return bad;
    };
    bool gridGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        std::string value;
        bool inlineValue = false;
        if (a.rfind("--", 0) == 0) {
            const auto eq = a.find('=');
            if (eq != std::string::npos) value = a.substr(eq + 1), a = a.substr(0, eq), inlineValue = true;
        }
        auto take = [&](std::string& out) {
            if (inlineValue) return out = value, true;
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        auto needs = [&](const std::string& what) { return oneLine(a) + " needs " + what; };
        auto notA = [&](const std::string& what) { return oneLine(a) + " takes " + what + ", not '" + oneLine(v) + "'"; };
        std::vector<double> n;
        if (a == "-h" || a == "--help") {
            r.help = true;
        } else if (a == "-o" || a == "--output") {
            if (!take(r.output) || r.output.empty()) return fail(needs("a path"));
        } else if (a == "--report") {
            if (!take(r.report) || r.report.empty()) return fail(needs("a path"));
        } else if (a == "--area") {
            if (!take(v)) return fail(needs("W,S,E,N"));
            if (!readDecimalList(v, ',', 4, n) || !(n[0] < n[2] && n[1] < n[3]) || n[0] < -180 || n[2] > 180 || n[1] < -90 ||
                n[3] > 90)
                return fail(notA("W,S,E,N in degrees with W below E and S below N"));
            r.options.area = GeoBox{n[0], n[1], n[2], n[3]};
        } else if (a == "--crs") {
            if (!take(r.options.crs) || r.options.crs.empty()) return fail(needs("a coordinate system"));
        } else if (a == "--resample") {
            if (!take(v)) return fail(needs("bilinear, cubic or average"));
            if (v == "bilinear") r.options.resampling = Resampling::Bilinear;
            else if (v == "cubic") r.options.resampling = Resampling::Cubic;
            else if (v == "average") r.options.resampling = Resampling::Average;
            else return fail(notA("bilinear, cubic or average"));
        } else if (a == "--grid") {
            if (!take(v)) return fail(needs("5 or 10"));
            if (v != "5" && v != "10") return fail(notA("5 or 10"));
            r.options.grid = v == "5" ? 5 : 10;
            gridGiven = true;
        } else if (a == "--spacing") {
            double m = 0;
            if (!take(v)) return fail(needs("metres"));
            if (!readDecimal(v, m) || m <= 0) return fail(notA("a positive number of metres"));
            r.options.spacing = m;
        } else if (a == "--boards") {
            if (!take(v)) return fail(needs("WxH"));
            if (!readDecimalList(v, 'x', 2, n) || n[0] < 1 || n[1] < 1 || n[0] != std::floor(n[0]) || n[1] != std::floor(n[1]) ||
                n[0] > 100000 || n[1] > 100000)
                return fail(notA("WxH, two whole numbers of boards"));
            r.options.boards = GridSize{int(n[0]), int(n[1])};
        } else if (a == "--heights") {
            if (!take(v)) return fail(needs("LOW:HIGH"));
            if (!readDecimalList(v, ':', 2, n) || !(n[0] < n[1])) return fail(notA("LOW:HIGH in metres with LOW below HIGH"));
            r.options.lowHeight = n[0], r.options.highHeight = n[1];
        } else if (a == "--ground") {
            double m = 0;
            if (!take(v)) return fail(needs("metres"));
            if (!readDecimal(v, m)) return fail(notA("a height in metres"));
            r.options.ground = m;
        } else if (a == "--force" || a == "--quiet") {
            if (inlineValue) return fail(oneLine(a) + " takes no value");
            (a == "--force" ? r.force : r.quiet) = true;
        } else if (a == "-q") {
            r.quiet = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "--") {
            return fail("unknown option '" + oneLine(a) + "'");
        } else if (a != "--") {
            r.options.inputs.push_back(a);
        }
    }
    if (r.help) return {r, {}};
    if (gridGiven && r.options.spacing) return fail("use at most one of --grid and --spacing");
    if (r.options.inputs.empty()) return fail("import needs at least one elevation file");
    if (r.output.empty()) return fail("import needs -o MAP.bmp");
    return {r, {}};
}

int launchHelper(const char* installed, const char* name, const char* what, const std::vector<std::string>& args) {
    std::string self(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    const std::string dir = n > 0 ? self.substr(0, self.rfind('/', std::size_t(n))) : ".";
    std::string helper = dir + "/" + installed;
    if (::access(helper.c_str(), X_OK) != 0) helper = dir + "/" + name;
    std::vector<char*> argv{helper.data()};
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    ::execv(helper.c_str(), argv.data());
    std::fprintf(stderr, "morv-cli: cannot start the %s helper %s: %s\n", what, oneLine(helper).c_str(), std::strerror(errno));
    return 1;
}

int launchImport(const std::vector<std::string>& args) {
    // GDAL and the hundred libraries behind it load only for this command: the import
    // runs in a helper program, so every other command starts as fast as before.
    return launchHelper(MORV_IMPORT_HELPER, "morv-import", "import", args);
}

}  // namespace morv::cli
