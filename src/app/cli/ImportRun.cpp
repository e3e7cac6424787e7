#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <exception>

#include "app/cli/BatchRun.h"
#include "app/cli/CliOptions.h"
#include "app/cli/ImportCommand.h"
#include "core/RuntimeError.h"
#include "commands/ImportCommands.h"
#include "io/SafeWrite.h"

namespace morv::cli {

namespace {

/// The report as a JSON object.
std::string reportJson(const ImportReport& r) {
    const QJsonObject area{{"west", r.area.west}, {"south", r.area.south}, {"east", r.area.east}, {"north", r.area.north}};
    const QJsonObject o{{"width", r.width},
                        {"height", r.height},
                        {"boardsWide", r.boardsWide},
                        {"boardsHigh", r.boardsHigh},
                        {"grid", int(r.grid)},
                        {"spacing", r.spacing},
                        {"metresPerLevel", r.metresPerLevel},
                        {"lowHeight", r.lowHeight},
                        {"highHeight", r.highHeight},
                        {"dataLow", r.dataLow},
                        {"dataHigh", r.dataHigh},
                        {"groundHeight", r.groundHeight},
                        {"groundLevel", r.groundLevel},
                        {"area", area},
                        {"crs", QString::fromStdString(r.crs)},
                        {"originX", r.originX},
                        {"originY", r.originY},
                        {"voidsFilled", qint64(r.voidsFilled)},
                        {"outsidePixels", qint64(r.outsidePixels)},
                        {"notFromData", r.inventedShare},
                        {"dataBoardsWide", r.dataBoards.width},
                        {"dataBoardsHigh", r.dataBoards.height}};
    return QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace

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
        std::vector<std::string> targets = importTargets(r.output, r.report);
        if (!r.voidMask.empty()) targets.insert(targets.begin() + 2, r.voidMask);
        for (std::size_t i = 0; i < targets.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (targets[i] == targets[j]) return failed(targets[i] + " is named for two outputs");
        // Decided before the work so that a run that cannot write fails at once, and
        // again, atomically, when the files are committed: a file made meanwhile stays.
        const Existing existing = r.force ? Existing::Replace : Existing::Refuse;
        checkTargets(targets, existing);

        line.start(0, r.output);
        App app;
        app.session.gblnProgrammerMode = true;
        ImportOutcome outcome = runImport(app, r.options, [&](int percent) {
            line.update(0, percent / 100.0);
            return console.watch && console.watch(percent);
        });
        if (outcome.error) std::rethrow_exception(outcome.error);
        if (!outcome.result) throw ImportCancelled();
        const ImportResult& result = *outcome.result;
        std::vector<FileContent> report;
        if (!r.report.empty()) report.push_back({r.report, reportJson(result.report)});
        writeImport(app, result, r.output, r.type, existing, report, {}, r.voidMask);
        line.finish(0);
        if (const std::string warning = inventedTerrainWarning(result.report); !warning.empty())
            std::fprintf(console.err, "morv-cli: %s\n", warning.c_str());
        for (const std::string& t : targets) std::fprintf(console.out, "%s\n", t.c_str());
        std::fputs(importReportText(result.report).c_str(), console.out);
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
