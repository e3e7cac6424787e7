// morv-cli redraw: each map redrawn, fitted and written, or its files only named.
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/CliHost.h"
#include "app/cli/OutputClaims.h"
#include "app/cli/OutputNames.h"
#include "app/cli/ScaleRun.h"
#include "commands/BlurCommands.h"
#include "commands/BoardCommands.h"
#include "commands/FileCommands.h"
#include "commands/PictureCommands.h"
#include "commands/Redraw.h"
#include "engine/BoardFit.h"
#include "engine/FileNames.h"
#include "engine/ResultName.h"
#include "io/AssetFolder.h"
#include "io/Files.h"
#include "io/ImageIO.h"
#include "io/PictureEncode.h"
#include "io/ScaleFile.h"

namespace morv::cli {

namespace {

/// Where a map's results go: the height image and, when written, its contour image,
/// in one file type; or an asset folder.
struct Outputs {
    std::string image, contour;
    bool writeContour = false;
    Existing existing = Existing::Refuse;
    PictureType type = PictureType::Bmp24;
    int width = 0, height = 0;  ///< The result's size, after any fit to boards.
    std::string assetName;
    std::vector<std::string> targets;  ///< Every file the map writes.
};

/// What the maps of one redraw share.
struct RedrawBatch {
    const Options& o;
    const std::vector<std::string>& maps;
    OutputClaims claims;
    MemoryShare memory;
};

/// The message for an output that exists and may not be replaced.
[[noreturn]] void failExists(const std::string& path) { failRun(path + " exists (use --force to replace it)"); }

/// The output paths of map i, checked before any work is done: claimed against
/// the other maps of the batch and, without --force, refused when they exist. The
/// type follows the output's extension and --depth; a result name is written as
/// 24-bit BMP unless --depth 8 is given.
Outputs decideOutputs(RedrawBatch& b, std::size_t i, const HeightImage& image, const TerrainControls& controls,
                      bool hasContour, bool hasScale) {
    const Options& o = b.o;
    Outputs out;
    out.width = o.boards ? boardSide(o.grid, o.boards->first) : image.width();
    out.height = o.boards ? boardSide(o.grid, o.boards->second) : image.height();
    if (!o.output.empty()) {
        out.image = o.output;
        out.type = pictureTypeFor(o.output, o.depth);
    } else {
        std::string ext;
        const std::string name = resultName(b.maps[i], out.width, out.height, controls, ext);
        const std::string fitTag = o.boards ? boardFitTag(o.grid, o.boards->first, o.boards->second) : "";
        out.type = pictureTypeFor(name, o.depth);
        out.image = withFitAndExtension(name, fitTag, writtenExtension(out.type));
        if (!o.outdir.empty()) out.image = inFolder(o.outdir, out.image);
    }
    out.writeContour = o.assetDir.empty() && (hasContour || o.contours);
    out.contour = contourPathFor(out.image);
    out.existing = o.force ? Existing::Replace : Existing::Refuse;
    out.targets = {out.image};
    if (!o.assetDir.empty()) {
        const std::string file = inFolder("", out.image);
        out.assetName = withoutExtension(file);
        out.targets = {inFolder(o.assetDir, out.assetName + ".png"), inFolder(o.assetDir, "thumbnail.jpg"),
                       inFolder(o.assetDir, "config.txt")};
    } else if (out.writeContour) {
        out.targets.push_back(out.contour);
    }
    if (hasScale && o.assetDir.empty()) out.targets.push_back(scalePathFor(out.image));
    if (const auto holder = b.claims.claim(i, out.targets))
        failRun(out.image + " is also the result of " + b.maps[*holder] + ", which comes first");
    if (!o.assetDir.empty()) {
        // The asset folder may not exist yet: its writer makes it and checks its files.
        std::error_code ec;
        if (!o.force)
            for (const std::string& t : out.targets)
                if (std::filesystem::exists(std::filesystem::symlink_status(t, ec))) failExists(t);
        return out;
    }
    // Checked again, atomically, when the files are written.
    try {
        checkTargets(out.targets, out.existing);
    } catch (const TargetExists& e) {
        failExists(e.path());
    }
    return out;
}

/// Brings the result and its contour image to whole boards, padding with the
/// ground level, as Tools > Fit to Boards does. Returns the note for a fit that
/// changed the ground a pixel spans ("Hills.bmp: fitted by scaling: 6.7 x 5.0 m a
/// pixel (was 5 m)"), or "".
std::string fitToBoards(Document& doc, const Options& o, const std::string& input, int groundLevel) {
    if (!o.boards) return {};
    const int w = doc.disp.width(), h = doc.disp.height();
    const BoardFitChoice choice{o.grid, o.boards->first, o.boards->second, o.fit};
    try {
        fitPicturesToBoards(doc, choice, fcnGrayColor(groundLevel));
    } catch (const std::invalid_argument& e) {
        failRun(std::string(e.what()) + " for " + std::to_string(o.boards->first) + " x " +
                std::to_string(o.boards->second) + " boards (use --fit " +
                (o.fit == BoardFitMethod::Crop ? "pad" : "crop") + " or --fit scale)");
    }
    const int width = doc.disp.width(), height = doc.disp.height();
    if (o.fit != BoardFitMethod::Scale || (w == width && h == height)) return {};
    char scale[96];
    std::snprintf(scale, sizeof scale, "%.1f x %.1f m a pixel (was %g m)", scaledPixelMetres(o.grid, w, width),
                  scaledPixelMetres(o.grid, h, height), gridPixelMetres(o.grid));
    return "morv-cli: " + oneLine(input) + ": fitted by scaling: " + scale + "\n";
}

/// Whether the run asks for any of Redraw's passes; without one, Redraw itself has
/// no task, and the blur and new contours work on the map as opened.
bool runsPasses(const Options& o) { return o.mountains || o.valleys || o.scaleUp; }

/// What Redraw does after its passes, for a run without passes.
void blurAndContours(const Host& host, const Options& o) {
    if (o.blur > 0) applyBlur(host);
    if (o.contours) drawNewContours(host);
}

/// The settings, as the window's controls would leave them.
void applySettings(const Host& host, const Options& o) {
    Session& s = host.session();
    host.frame.setGroundLevelValue(groundLevelFor(o, host.document().scale));
    if (o.calcBase) calcBase(host);
    if (o.mountains) s.gsngMountainFactor = mountainFactorFromBar(o.mountainsPercent);
    if (o.valleys) s.gdblValleyFactor = valleyFactorFromBar(o.valleysPercent);
    s.gblnScaleUp = o.scaleUp;
}

/// The lines naming the files a map writes, each on one line whatever it holds.
std::string pathLines(const std::vector<std::string>& paths) {
    std::string lines;
    for (const std::string& p : paths) lines += oneLine(p) + "\n";
    return lines;
}

/// Redraws map i and writes its results (or, for a dry run, only names them);
/// returns the lines naming the files and adds the map's notes to notes.
std::string redrawMap(RedrawBatch& b, std::size_t i, MapProgress& progress, std::string& notes) {
    const Options& o = b.o;
    const std::string& input = b.maps[i];
    MapApp m;
    CliHost cli(m.app, o, &progress);
    const Host host = cli.host();
    Document& doc = cli.document();

    const std::string contourPath = contourPathFor(input);
    const bool hasContour = fileExists(m.app, contourPath);
    if (o.calcBase && !hasContour) failRun(input + " has no contour image (" + contourPath + ")");
    MapPair pair = loadPair(input, contourPath, hasContour, o);
    cli.handOverOnce(input, pair.image);
    const std::optional<MapScale> scale = runScaleOf(input, *pair.image, pair.mapping);
    const Outputs out = decideOutputs(b, i, *pair.image, cli.controls(), hasContour, scale.has_value());
    const std::string written = pathLines(out.targets);
    groundLevelFor(o, scale);  // metres the map's scale cannot turn into a level fail a dry run too
    if (o.dryRun) return written;

    // The document holds the pictures from here on, alone: a command that replaces
    // one may then reuse its memory.
    openLoadedImage(host, input, std::move(pair.image), std::move(pair.contour));
    doc.scale = scale;
    applySettings(host, o);
    if (runsPasses(o)) {
        redraw(host);
    } else {
        cli.handOverOnce({}, nullptr);
        blurAndContours(host, o);
    }
    notes += fitToBoards(doc, o, input, host.session().gintGroundLevel);

    if (!o.assetDir.empty()) {
        writeAssetFolder(*doc.disp.image, o.assetDir, out.assetName,
                         {o.kuid, o.assetGround.value_or(host.session().gintGroundLevel),
                          doc.scale ? doc.scale->levelMetres : 0});
        return written;
    }
    std::vector<PictureWrite> writes{{doc.disp.image.get(), out.image, out.type}};
    if (out.writeContour) writes.push_back({doc.dispCL.image.get(), out.contour, out.type});
    if (out.writeContour && doc.dispCL.image->empty())
        failRun("the contour image of " + input + " is empty; nothing written");
    try {
        std::vector<FileContent> alongside;
        if (doc.scale) alongside.push_back(scaleFileFor(out.image, *doc.scale));
        savePictureFiles(writes, out.existing, alongside);
    } catch (const TargetExists& e) {
        failExists(e.path());
    }
    return written;
}

/// The passes a redraw runs, each with its own percentages: the opening scan, the
/// chosen passes, the blur, the contours and, after passes, the final scan.
int passesOf(const Options& o) {
    return 1 + int(runsPasses(o)) + int(o.calcBase) + int(o.mountains.has_value()) + int(o.valleys.has_value()) +
           2 * int(o.scaleUp) + int(o.blur > 0) + int(o.contours);
}

}  // namespace

int runRedraw(const Options& o, const std::vector<BatchInput>& inputs, const std::vector<std::string>& maps,
              BatchReport& report, unsigned jobs) {
    if (!o.outdir.empty()) {
        std::error_code ec;
        if (!std::filesystem::is_directory(o.outdir, ec)) {
            std::fprintf(stderr, "morv-cli: no folder '%s' for --outdir (make it first)\n", oneLine(o.outdir).c_str());
            return 1;
        }
    }
    // Maps whose results are named from the same folder and name may collide.
    std::vector<std::string> keys;
    for (const std::string& map : maps)
        keys.push_back(o.outdir.empty() ? withoutExtension(map) : inFolder(o.outdir, withoutExtension(map)));
    RedrawBatch batch{o, maps, OutputClaims(keys), MemoryShare(pictureMemoryBudget(), maps.size())};
    report.doneWord = o.dryRun ? "checked" : "written";
    return runBatch(inputs, jobs, report, passesOf(o), [&](std::size_t i, const std::string&, MapProgress& progress) {
        std::string notes;
        MapOutcome outcome = outcomeOf([&] {
            return withMemoryShare(batch.memory, i, maps[i], o, [&] { return redrawMap(batch, i, progress, notes); });
        });
        if (outcome.failure.empty()) outcome.notes = std::move(notes);
        batch.memory.pass(i);
        batch.claims.settle(i);
        return outcome;
    });
}

}  // namespace morv::cli
