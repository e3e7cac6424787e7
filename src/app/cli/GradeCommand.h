#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "commands/GradeCommands.h"

namespace morv::cli {

/// What `morv-cli grade` was asked to do.
struct GradeArgs {
    std::string map;              ///< the height map to grade
    std::string track;            ///< --track: a GPX, GeoJSON or KML file; empty: --path
    GradeRequest request;         ///< the line (from --path), the profile and the corridor
    std::string output;           ///< -o, checked (".bmp" added to a name without extension)
    std::string profile, table, report;  ///< the picture, CSV and JSON to write; empty: none
    double every = 50;            ///< metres between the table's rows
    std::optional<double> pixelMetres, levelMetres, baseMetres;  ///< the map's scale given by hand
    bool force = false;
    bool quiet = false;
    bool help = false;
};

/// The outcome of reading the grade arguments: a request, or a usage error's message.
struct GradeParsed {
    std::optional<GradeArgs> args;
    std::string error;
};

/// Reads the arguments after "grade". Never throws; bad usage gives an error.
GradeParsed parseGradeArguments(const std::vector<std::string>& args);

/// The grade command's part of the --help text.
std::string gradeUsageText();

/// Starts the grade helper (morv-grade, which reads track files through GDAL) on
/// the arguments after "grade" in place of this process; returns 1 with a message
/// only when it cannot be started.
int launchGrade(const std::vector<std::string>& args);

/// Runs `morv-cli grade` on the arguments after "grade" (in the helper): grades the
/// map and writes the graded map, its fresh contour image when asked, the profile
/// picture, the table and the report as one set, then prints the paths written and
/// the report. Nothing is written when anything fails. Returns the exit status (0
/// done, 1 failed, 2 bad usage), each error one "morv-cli: " line on err.
int runGrade(const std::vector<std::string>& args, std::FILE* out = stdout, std::FILE* err = stderr);

}  // namespace morv::cli
