#pragma once
#include <optional>
#include <string>
#include <vector>

#include "engine/TerrainSettings.h"

namespace morv::cli {

enum class Command { Redraw, Info, Help, Version };

/// What the command line asked for.
struct Options {
    Command command = Command::Help;
    std::string input;
    int ground = 128;
    bool calcBase = false;
    std::optional<MountainMode> mountains;  // none: the mountains stay
    int mountainsPercent = 0;
    std::optional<ValleyMode> valleys;      // none: the valleys stay
    int valleysPercent = 100;
    bool scaleUp = false;
    int blur = 0;
    bool contours = false;
    std::string output;       // empty: the result name
    bool force = false;
};

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

}  // namespace morv::cli
