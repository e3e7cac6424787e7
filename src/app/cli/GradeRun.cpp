#include <exception>
#include <memory>

#include "analysis/Contours.h"
#include "app/cli/CliOptions.h"
#include "app/cli/GradeCommand.h"
#include "core/RuntimeError.h"
#include "io/Files.h"
#include "io/GradeFiles.h"
#include "io/ProfilePicture.h"
#include "io/ImageIO.h"
#include "io/ScaleFile.h"
#include "io/TrackFile.h"

namespace morv::cli {

namespace {

/// The map's scale: its scale file's, where it has one, with what is given by hand
/// put over it.
MapScale scaleOf(const GradeArgs& a) {
    MapScale scale = readScaleFile(a.map).value_or(MapScale{});
    if (a.pixelMetres) scale.pixelMetres = *a.pixelMetres;
    if (a.levelMetres) scale.levelMetres = *a.levelMetres;
    if (a.baseMetres) scale.baseMetres = *a.baseMetres;
    return scale;
}

/// Every file the run writes, in the order printed.
std::vector<std::string> gradeTargets(const GradeArgs& a) {
    std::vector<std::string> t{a.output};
    if (a.request.redrawContours) t.push_back(contourPathFor(a.output));
    for (const std::string* p : {&a.profile, &a.table, &a.report})
        if (!p->empty()) t.push_back(*p);
    t.push_back(scalePathFor(a.output));
    return t;
}

}  // namespace

int runGrade(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    const GradeParsed parsed = parseGradeArguments(args);
    if (!parsed.args) {
        std::fprintf(err, "morv-cli: %s\n", parsed.error.c_str());
        return 2;
    }
    GradeArgs a = *parsed.args;
    if (a.help) {
        std::fputs(usageText().c_str(), out);
        return 0;
    }
    auto failed = [&](const std::string& message) {
        std::fprintf(err, "morv-cli: %s\n", oneLine(message).c_str());
        return 1;
    };
    try {
        const std::vector<std::string> targets = gradeTargets(a);
        for (std::size_t i = 0; i < targets.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (targets[i] == targets[j]) return failed(targets[i] + " is named for two outputs");
        const Existing existing = a.force ? Existing::Replace : Existing::Refuse;
        checkTargets(targets, existing);

        const MapScale scale = scaleOf(a);
        if (!scale.knowsDistances() || !scale.knowsHeights())
            return failed(a.map + ": no scale: the map's metres per pixel and per grey level are not known (give " +
                          "--pixel-metres and --level-metres)");
        std::unique_ptr<GeoFrame> geo;
        if (scale.isGeoreferenced()) geo = std::make_unique<GeoFrame>(scale);
        if (!a.track.empty()) a.request.line = readTrackFile(a.track, scale);
        LoadedPicture loaded = loadPicture(a.map);
        HeightImage& map = *loaded.image;
        const GradeOutcome done = gradeMap(map, scale, a.request);

        // As redraw writes its -o: a PNG as 8-bit grey, a BMP as 24-bit.
        const PictureType type = pictureTypeFor(a.output, std::nullopt);
        std::vector<PictureWrite> writes{{&map, a.output, type}};
        HeightImage contour;
        if (a.request.redrawContours) {
            // The contour image marks the ground at the map's lowest level, as an import draws it.
            std::uint8_t lowest = 255;
            for (std::int64_t i = 0; i < map.pixelCount(); ++i) lowest = std::min(lowest, map.grey()[i]);
            contour = contourPicture(map, fcnGrayColor(lowest));
            writes.push_back({&contour, contourPathFor(a.output), type});
        }
        const GradeSummary summary{done.profile, done.corridor, done.steps, a.request.corridor};
        std::vector<FileContent> alongside;
        if (!a.profile.empty()) alongside.push_back({a.profile, pngBytes(profilePicture(done.profile))});
        if (!a.table.empty()) alongside.push_back({a.table, splineTableCsv(done.profile, a.every, geo.get())});
        if (!a.report.empty()) alongside.push_back({a.report, gradeReportJson(summary)});
        // The graded map keeps its scale beside it.
        alongside.push_back(scaleFileFor(a.output, scale));
        savePictureFiles(writes, existing, alongside);
        for (const std::string& t : targets) std::fprintf(out, "%s\n", t.c_str());
        if (!a.quiet) std::fputs(gradeReportText(summary).c_str(), out);
        std::fflush(out);
        return 0;
    } catch (const TargetExists& e) {
        return failed(e.path() + " exists (use --force to replace it)");
    } catch (const GradeError& e) {
        // Messages about the track file name it; the others are about the map.
        const std::string what = e.what();
        return failed((!a.track.empty() && what.rfind(a.track, 0) == 0 ? "" : a.map + ": ") + what);
    } catch (const std::exception&) {
        return failed(toRuntimeError(std::current_exception()).description());
    }
}

}  // namespace morv::cli
