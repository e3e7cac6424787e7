#include "commands/ImportCommands.h"
#include "io/ScaleFile.h"

#include <sstream>

#include "analysis/Contours.h"
#include "core/Routine.h"
#include "engine/HeightGrid.h"
#include "io/Files.h"
#include "io/ImageIO.h"

namespace morv {

ImportResult importElevation(const ImportOptions& o, const ImportProgress& hook) {
    ImportStages progress(hook);
    // Shares of the whole: the warps 0..80 % and the voids to 88 as it reads, the
    // levels to 94, the contours to 100.
    ElevationRead read = readElevation(o, progress);
    ImportReport& r = read.report;
    r.lowHeight = o.lowHeight.value_or(r.dataLow);
    r.highHeight = o.highHeight.value_or(r.dataHigh);
    r.metresPerLevel = (r.highHeight - r.lowHeight) / 255.0;

    ImportResult result;
    progress.stage(88, 94);
    auto map = levelsOfHeights(read.heights, r.lowHeight, r.highHeight, [&](double done) { return !progress.report(done); });
    if (!map) throw ImportCancelled();
    result.map = std::move(*map);
    read.heights = {};
    r.groundHeight = groundHeightOf(o, r.dataLow);
    r.groundLevel = levelOfHeight(r.groundHeight, r.lowHeight, r.highHeight);
    progress.stage(94, 100);
    result.contour = HeightImage(r.width, r.height, 255);
    const double pixels = double(result.map.pixelCount());
    if (!markContours(result.map, fcnGrayColor(r.groundLevel), result.contour,
                      [&](std::int64_t visited) { return !progress.report(double(visited) / pixels); }))
        throw ImportCancelled();
    progress.check(1);
    result.invented = std::move(read.invented);
    result.report = std::move(r);
    return result;
}

ImportOutcome runImport(App& app, const ImportOptions& options, const ImportProgress& progress) {
    Routine r(app, "frmImport.runImport");
    ImportOutcome outcome;
    r([&] {
        try {
            outcome.result = importElevation(options, progress);
        } catch (const ImportCancelled&) {
            // Asked for: nothing to tell.
        } catch (...) {
            outcome.error = std::current_exception();
        }
    });
    return outcome;
}

std::vector<std::string> importTargets(const std::string& mapPath, const std::string& reportPath) {
    std::vector<std::string> targets{mapPath, contourPathFor(mapPath), scalePathFor(mapPath)};
    if (!reportPath.empty()) targets.push_back(reportPath);
    return targets;
}

namespace {

/// Writes the set, asking replace about each existing target (see writeImport).
bool writeAsked(const std::vector<PictureWrite>& pictures, Existing existing, const std::vector<FileContent>& alongside,
                const ReplaceQuestion& replace) {
    std::vector<std::string> targets;
    for (const PictureWrite& p : pictures) targets.push_back(p.path);
    for (const FileContent& f : alongside) targets.push_back(f.path);
    // Only files the user agreed to replace are replaced: each existing target is
    // asked about before the work, and a file made since when committing.
    if (existing == Existing::Refuse && replace) {
        for (const std::string& target : targets) {
            try {
                checkTargets({target}, Existing::Refuse);
            } catch (const TargetExists& e) {
                if (!replace(e.path())) return false;
                existing = Existing::Replace;
            }
        }
    }
    for (;;) {
        try {
            savePictureFiles(pictures, existing, alongside);
            return true;
        } catch (const TargetExists& e) {
            if (!replace) throw;
            if (!replace(e.path())) return false;
            existing = Existing::Replace;
        }
    }
}

}  // namespace

MapScale importedScale(const ImportReport& r) {
    MapScale s;
    s.pixelMetres = r.spacing;
    s.levelMetres = r.metresPerLevel;
    s.baseMetres = r.lowHeight;
    s.crsWkt = r.crsWkt;
    // The top-left corner of the top-left pixel, rows running south.
    s.geoTransform = {r.originX, r.spacing, 0, r.originY, 0, -r.spacing};
    return s;
}

bool writeImport(App& app, const ImportResult& result, const std::string& mapPath, PictureType type, Existing existing,
                 const std::vector<FileContent>& alongside, const ReplaceQuestion& replace, const std::string& maskPath) {
    Routine r(app, "frmImport.cmdImport_Click");
    bool written = false;
    // A refused write is the caller's to tell (a line, a box), never the trap's.
    std::exception_ptr failure;
    r([&] {
        try {
            std::vector<PictureWrite> pictures{{&result.map, mapPath, type},
                                               {&result.contour, contourPathFor(mapPath), type}};
            if (!maskPath.empty())
                pictures.push_back({&result.invented, maskPath, pictureTypeFor(maskPath, std::nullopt)});
            // The map carries what its pixels and levels stand for, in the same set.
            std::vector<FileContent> files = alongside;
            files.push_back(scaleFileFor(mapPath, importedScale(result.report)));
            written = writeAsked(pictures, existing, files, replace);
        } catch (const std::exception&) {
            failure = std::current_exception();
        }
    });
    if (failure) std::rethrow_exception(failure);
    return written;
}

std::string importReportText(const ImportReport& r) {
    std::ostringstream out;
    out << "size: " << r.width << " x " << r.height << " pixels, " << r.boardsWide << " x " << r.boardsHigh
        << " boards (" << int(r.grid) << " m grid, " << formatNumber(r.spacing, 2) << " m a pixel)\n"
        << "metres per level: " << formatNumber(r.metresPerLevel, 3) << "\n"
        << "heights: " << formatNumber(r.lowHeight, 1) << " to " << formatNumber(r.highHeight, 1) << " m (map "
        << formatNumber(r.dataLow, 1) << " to " << formatNumber(r.dataHigh, 1) << " m)\n"
        << "ground: " << formatNumber(r.groundHeight, 1) << " m, level " << r.groundLevel << "\n"
        << "area: " << boxText(r.area) << " (" << r.crs << ")\n"
        << "voids filled: " << r.voidsFilled << "\n";
    if (r.outsidePixels > 0) out << "past the data: " << r.outsidePixels << " pixels\n";
    out << "not from the data: " << formatNumber(100 * r.inventedShare, 2) << " % of the map\n";
    return out.str();
}

std::string inventedTerrainWarning(const ImportReport& r) {
    if (r.inventedShare <= kInventedWarningShare) return {};
    return "warning: " + formatNumber(100 * r.inventedShare, 1) + " % of the map is not from the data (" +
           std::to_string(r.voidsFilled) + " voids, " + std::to_string(r.outsidePixels) + " pixels past its edge)";
}

}  // namespace morv
