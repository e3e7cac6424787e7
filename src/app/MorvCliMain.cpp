// morv-cli: the headless front end for batch work on many height maps.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/CliHost.h"
#include "app/cli/CliOptions.h"
#include "app/cli/GradeCommand.h"
#include "app/cli/ImportCommand.h"
#include "app/cli/ScaleRun.h"
#include "io/SafeWrite.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // What a save's repair of a killed earlier save did to the user's files.
    morv::setRepairNoticeHandler(
        [](const std::string& line) { std::fprintf(stderr, "morv-cli: %s\n", morv::cli::oneLine(line).c_str()); });
    if (!args.empty() && args[0] == "import") return morv::cli::launchImport({args.begin() + 1, args.end()});
    if (!args.empty() && args[0] == "grade") return morv::cli::launchGrade({args.begin() + 1, args.end()});
    const morv::cli::Parsed parsed = morv::cli::parseArguments(args);
    if (!parsed.options) {
        std::fprintf(stderr, "morv-cli: %s\n", parsed.error.c_str());
        return 2;
    }
    switch (parsed.options->command) {
    case morv::cli::Command::Help:
        std::fputs(morv::cli::usageText().c_str(), stdout);
        return 0;
    case morv::cli::Command::Version:
        std::printf("%s\n", morv::cli::versionLine().c_str());
        return 0;
    case morv::cli::Command::Scale:
        return morv::cli::runScale(*parsed.options);
    case morv::cli::Command::Level:
        return morv::cli::runLevel(*parsed.options);
    default:
        return morv::cli::run(*parsed.options);
    }
}
