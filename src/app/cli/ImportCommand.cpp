#include "app/cli/ImportCommand.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/cli/CliOptions.h"
#include "app/cli/OutputNames.h"

namespace morv::cli {

std::string importUsageText() {
    std::string text =
        "import makes a height map and its contour image from elevation data and prints\n"
        "a report: size, metres per grey level, heights, area, voids filled.\n"
        "\n"
        "import options:\n"
        "  DEM...            elevation files GDAL reads (SRTM .hgt, GeoTIFF, ESRI ASCII grid,\n"
        "                    USGS DEM), mosaicked; heights in metres\n";
    for (const OptionRow& row : optionTable())
        if (row.commands == kImport) text += helpLine(row, 18);
    return text;
}

ImportParsed parseImportArguments(const std::vector<std::string>& args) {
    Options o;
    o.command = Command::Import;
    ImportRequest r;
    ImportParsed bad;
    auto fail = [&](std::string message) {
        bad.error = std::move(message);
        return bad;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            r.help = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "--") {
            if (std::string problem = readOption(args, i, o); !problem.empty()) return fail(problem);
        } else if (a != "--") {
            o.import.inputs.push_back(a);
        }
    }
    r.options = o.import;
    r.output = o.output;
    r.report = o.report;
    r.voidMask = o.voidMask;
    r.force = o.force;
    r.quiet = o.quiet;
    if (r.help) return {r, {}};
    if (o.importGridGiven && r.options.spacing) return fail("use at most one of --grid and --spacing");
    if (r.options.inputs.empty()) return fail("import needs at least one elevation file");
    if (r.output.empty()) return fail("import needs -o MAP.bmp");
    // The same names and types as redraw's -o: .bmp added, unknown kinds refused.
    const OutputChoice choice = chooseOutput(r.output);
    if (!choice.error.empty()) return fail(choice.error);
    r.output = choice.path;
    r.type = pictureTypeFor(r.output, o.depth);
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
