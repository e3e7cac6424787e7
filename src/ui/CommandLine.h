#pragma once
#include <string>
#include <vector>

namespace morv {

/// What the program's command line asks for.
struct CommandLine {
    bool log = false;          // "/LOG": write the trace log Morv.log
    bool programmer = false;   // "/PRGM": programmer mode
    bool help = false;         // "--help": print the usage and exit
    bool version = false;      // "--version": print the version and exit
    std::string imageFile;     // any other argument: the current image path
};

/// Reads the arguments (without the program name). "/LOG" and "/PRGM" count only as
/// whole arguments, in any letter case, so a path that merely contains "/log" is a
/// path. Any other argument becomes the image path; with several, the last one wins.
CommandLine parseCommandLine(const std::vector<std::string>& args);

/// The text "--help" prints.
std::string commandLineUsage();

}  // namespace morv
