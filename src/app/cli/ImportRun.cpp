#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "app/cli/CliOptions.h"
#include "app/cli/ImportCommand.h"
#include "core/RuntimeError.h"
#include "io/Files.h"
#include "io/SafeWrite.h"
#include "engine/HeightImage.h"
#include "io/ImageIO.h"

namespace morv::cli {

int runImport(const std::vector<std::string>& args) {
    const ImportParsed parsed = parseImportArguments(args);
    if (!parsed.request) {
        std::fprintf(stderr, "morv-cli: %s\n", parsed.error.c_str());
        return 2;
    }
    const ImportRequest& r = *parsed.request;
    if (r.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    auto failed = [](const std::string& message) {
        std::fprintf(stderr, "morv-cli: %s\n", oneLine(message).c_str());
        return 1;
    };
    try {
        const std::string contourOutput = contourPathFor(r.output);
        std::vector<std::string> targets{r.output, contourOutput};
        if (!r.report.empty()) targets.push_back(r.report);
        for (std::size_t i = 0; i < targets.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (targets[i] == targets[j]) return failed(targets[i] + " is named for two outputs");
        if (!r.force)
            for (const std::string& t : targets)
                if (::access(t.c_str(), F_OK) == 0) return failed(t + " exists (use --force to replace it)");

        // The report is staged before the work (a bad folder fails at once) and
        // renamed after the pictures, so a failure anywhere leaves no file changed.
        std::vector<StagedFile> report;
        if (!r.report.empty()) report.emplace_back(r.report);

        const ImportResult result = importElevation(r.options);
        HeightImage map(result.map.width, result.map.height), contour(result.contour.width, result.contour.height);
        std::copy(result.map.bytes.begin(), result.map.bytes.end(), map.grey());
        std::copy(result.contour.bytes.begin(), result.contour.bytes.end(), contour.grey());
        if (!report.empty()) {
            report.back().write(reportJson(result.report));
            report.back().finish();
        }
        savePictureFiles({{&map, r.output}, {&contour, contourOutput}});
        commitAll(report);
        for (const std::string& t : targets) std::printf("%s\n", t.c_str());
        std::fputs(reportText(result.report).c_str(), stdout);
        return 0;
    } catch (const ImportError& e) {
        return failed(e.what());
    } catch (const std::exception&) {
        return failed(toRuntimeError(std::current_exception()).description());
    }
}

}  // namespace morv::cli
