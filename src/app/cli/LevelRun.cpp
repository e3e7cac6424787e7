#include <exception>
#include <memory>
#include <vector>

#include "app/cli/CliHost.h"
#include "app/cli/ScaleRun.h"
#include "commands/FileCommands.h"
#include "commands/SiteCommands.h"
#include "core/RuntimeError.h"
#include "io/Files.h"
#include "io/ImageIO.h"
#include "io/ScaleFile.h"

namespace morv::cli {

int runLevel(const Options& o, std::FILE* out, std::FILE* err) {
    const std::string& input = o.inputs.front();
    auto fail = [&](const std::string& message) {
        std::fprintf(err, "morv-cli: %s\n", oneLine(message).c_str());
        return 1;
    };
    try {
        App app;
        // Nobody answers an error box here: errors travel to this caller.
        app.session.gblnProgrammerMode = true;
        CliHost cli(app, o, nullptr);
        const Host host = cli.host();
        Document& doc = cli.document();

        const std::string contourPath = contourPathFor(input);
        const bool hasContour = fileExists(app, contourPath);
        LoadedPicture map = loadPicture(input, LevelOptions{o.levels});
        std::shared_ptr<HeightImage> contour = hasContour ? loadPicture(contourPath, LevelOptions{o.levels}).image : nullptr;
        if (contour) checkPairSizes(*map.image, input, *contour, contourPath);
        const std::optional<MapScale> scale = runScaleOf(input, *map.image, map.mapping);

        // Everything that can be refused is, before anything is written.
        Document probe;
        probe.disp.replace(map.image);
        probe.scale = scale;
        const LevelSiteChoice choice{*o.site, o.height, o.shoulder};
        if (const LevelSitePlan plan = planLevelSite(probe, choice); !plan.problem.empty())
            return fail(input + ": " + plan.problem + "; nothing written");

        const int depth = pictureTypeFor(o.output, 8) == PictureType::Png8 ? 8 : 24;
        const PictureType type = pictureTypeFor(o.output, o.depth.value_or(depth));
        std::vector<std::string> targets{o.output};
        if (contour) targets.push_back(contourPathFor(o.output));
        if (scale) targets.push_back(scalePathFor(o.output));
        const Existing existing = o.force ? Existing::Replace : Existing::Refuse;
        checkTargets(targets, existing);

        openLoadedImage(host, input, map.image, contour);
        doc.scale = scale;
        const std::optional<LevelSiteResult> result = levelSiteOfMap(host, choice);
        if (!result) return fail(input + ": the site could not be levelled; nothing written");

        std::vector<PictureWrite> writes{{doc.disp.image.get(), o.output, type}};
        if (contour) writes.push_back({doc.dispCL.image.get(), contourPathFor(o.output), type});
        std::vector<FileContent> alongside;
        if (scale) alongside.push_back(scaleFileFor(o.output, *scale));
        savePictureFiles(writes, existing, alongside);
        if (!scale) dropScaleFile(o.output);
        for (const std::string& t : targets) std::fprintf(out, "%s\n", oneLine(t).c_str());
        std::fprintf(out, "%s\n", levelSiteSummary(*result, scale).c_str());
        return 0;
    } catch (const TargetExists& e) {
        return fail(e.path() + " exists (use --force to replace it)");
    } catch (const std::exception&) {
        return fail(toRuntimeError(std::current_exception()).description());
    }
}

}  // namespace morv::cli
