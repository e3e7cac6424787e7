#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "io/ElevationImport.h"
#include "io/PictureEncode.h"

namespace morv::cli {

/// What `morv-cli import` was asked to do.
struct ImportRequest {
    ImportOptions options;
    std::string output;   ///< checked, ".bmp" added to a name without extension
    PictureType type = PictureType::Bmp24;  ///< what the map and its contour image are written as
    std::string report;   ///< the JSON report's path; empty: none
    std::string voidMask; ///< the picture of what is not data; empty: none
    bool force = false;
    bool quiet = false;   ///< no progress line
    bool help = false;
};

/// The outcome of reading the import arguments: a request, or a usage error's message.
struct ImportParsed {
    std::optional<ImportRequest> request;
    std::string error;
};

/// Reads the arguments after "import". Never throws; bad usage gives an error.
ImportParsed parseImportArguments(const std::vector<std::string>& args);

/// The import command's part of the --help text.
std::string importUsageText();

/// Starts the helper program installed at `installed` (relative to this program's
/// folder; `name` beside it in a build tree) on args in place of this process;
/// returns 1 with a message naming the `what` helper only when it cannot be started.
int launchHelper(const char* installed, const char* name, const char* what, const std::vector<std::string>& args);

/// Starts the import helper (morv-import) on the arguments after "import" in place
/// of this process; returns 1 with a message only when it cannot be started.
int launchImport(const std::vector<std::string>& args);

/// Where `morv-cli import` reports.
struct ImportConsole {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    /// err is a terminal: the progress line is drawn there unless -q is given.
    bool terminal = false;
    /// Also told each percentage of the work, as the progress line is; true stops
    /// the import (for tests: what happens while an import runs).
    ImportProgress watch;
};

/// Runs `morv-cli import` on the arguments after "import" (in the helper): writes the height map,
/// its contour image (CL before the extension) and the JSON report when asked, as
/// one set, then prints the paths written and the report. Without --force a target
/// that exists, before the work or when the set is committed, fails the run and
/// nothing is written. Returns the exit status (0 done, 1 failed, 2 bad usage),
/// each error one "morv-cli: " line on console.err.
int runImport(const std::vector<std::string>& args, const ImportConsole& console);

/// The same on standard output and standard error, with the progress line when
/// standard error is a terminal.
int runImport(const std::vector<std::string>& args);

}  // namespace morv::cli
