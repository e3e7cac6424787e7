#include "ui/CommandLine.h"

#include <algorithm>
#include <cctype>

namespace morv {

namespace {

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (const std::string& a : args) {
        const std::string u = upper(a);
        if (u == "/LOG")
            line.log = true;
        else if (u == "/PRGM")
            line.programmer = true;
        else if (a == "--help")
            line.help = true;
        else if (a == "--version")
            line.version = true;
        else if (!a.empty())
            line.imageFile = a;
    }
    return line;
}

std::string commandLineUsage() {
    return "Usage: morv [/LOG] [/PRGM] [IMAGE]\n"
           "Reshapes grey-scale height maps for Trainz.\n"
           "\n"
           "  /LOG       write the routine trace to Morv.log in the working folder\n"
           "  /PRGM      programmer mode: no error trap, Make DL Files shown\n"
           "  IMAGE      the current image path; File > Open starts from it\n"
           "  --help     print this text and exit\n"
           "  --version  print the version and exit\n"
           "\n"
           "The switches may be written in any letter case.\n";
}

}  // namespace morv
