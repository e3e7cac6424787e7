#include <unistd.h>

#include <cstdio>
#include <exception>

#include "app/cli/BatchRun.h"
#include "app/cli/CliOptions.h"
#include "app/cli/ImportCommand.h"
#include "core/RuntimeError.h"
#include "io/ImportFiles.h"
#include "io/SafeWrite.h"

namespace morv::cli {

int runImport(const std::vector<std::string>& args, const ImportConsole& console) {
    const ImportParsed parsed = parseImportArguments(args);
    if (!parsed.request) {
        std::fprintf(console.err, "morv-cli: %s\n", parsed.error.c_str());
        return 2;
    }
    const ImportRequest& r = *parsed.request;
    if (r.help) {
        std::fputs(usageText().c_str(), console.out);
        return 0;
    }
    // One bar for the whole import, as redraw draws one for each map.
    ProgressLine line(console.terminal && !r.quiet, console.err, 1);
    auto failed = [&](const std::string& message) {
        line.finish(0);
        std::fprintf(console.err, "morv-cli: %s\n", oneLine(message).c_str());
        return 1;
    };
    auto exists = [&](const TargetExists& e) { return failed(e.path() + " exists (use --force to replace it)"); };
    try {
        const std::vector<std::string> targets = importTargets(r.output, r.report);
        for (std::size_t i = 0; i < targets.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (targets[i] == targets[j]) return failed(targets[i] + " is named for two outputs");
        // Decided before the work so that a run that cannot write fails at once, and
        // again, atomically, when the files are committed: a file made meanwhile stays.
        const Existing existing = r.force ? Existing::Replace : Existing::Refuse;
        checkTargets(targets, existing);

        line.start(0, r.output);
        const ImportResult result = importElevation(r.options, [&](int percent) {
            line.update(0, percent / 100.0);
            return console.watch && console.watch(percent);
        });
        saveImportFiles(result, r.output, r.report, existing);
        line.finish(0);
        for (const std::string& t : targets) std::fprintf(console.out, "%s\n", t.c_str());
        std::fputs(reportText(result.report).c_str(), console.out);
        std::fflush(console.out);
        return 0;
    } catch (const TargetExists& e) {
        return exists(e);
    } catch (const ImportError& e) {
        return failed(e.what());
    } catch (const std::exception&) {
        return failed(toRuntimeError(std::current_exception()).description());
    }
}

int runImport(const std::vector<std::string>& args) {
    ImportConsole console;
    console.terminal = ::isatty(STDERR_FILENO) == 1;
    return runImport(args, console);
}

}  // namespace morv::cli
