#include "app/cli/CliHost.h"

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <system_error>

#include "analysis/BaseLevel.h"
#include "analysis/ColourRange.h"
#include "app/cli/BatchInputs.h"
#include "app/cli/JobRunner.h"
#include "app/cli/MemoryShare.h"
#include "app/cli/OutputNames.h"
#include "commands/FileCommands.h"
#include "commands/PictureCommands.h"
#include "commands/Redraw.h"
#include "engine/BoardFit.h"
#include "engine/FileNames.h"
#include "engine/ResultName.h"
#include "io/AssetFolder.h"
#include "io/Files.h"
#include "io/ImageIO.h"
#include "io/PictureSize.h"

namespace morv::cli {

namespace {
/// What one map's run takes besides its pictures: row and file buffers.
constexpr std::uint64_t kMapWorkMemory = std::uint64_t(16) << 20;
}  // namespace

CliHost::CliHost(App& app, const Options& o, MapProgress* progress)
    : m_app(app), m_frame(app.session), m_progress(progress) {
    m_controls.flattenTicked = o.mountains.has_value();
    m_controls.mountainMode = o.mountains.value_or(MountainMode::Flatten);
    m_controls.mountainsValue = o.mountains ? o.mountainsPercent : 0;
    m_controls.fillTicked = o.valleys.has_value();
    m_controls.valleyMode = o.valleys.value_or(ValleyMode::Fill);
    m_controls.valleysValue = o.valleys ? o.valleysPercent : 100;
    m_controls.scaleUpTagged = o.scaleUp;
    m_controls.blurTicked = o.blur > 0;
    m_controls.blurValue = o.blur;
    m_controls.autoContours = o.contours;
}

void CliHost::setProgress(const std::string&, int percent) {
    if (m_progress) m_progress->pass(percent);
}

std::shared_ptr<HeightImage> CliHost::loadPicture(const std::string& path) {
    if (m_handOver && path == m_handOverPath) {
        // The picture as opened is still untouched (opening only reads it), so
        // Redraw's reload takes it over instead of decoding the file again.
        std::shared_ptr<HeightImage> image = std::move(m_handOver);
        m_handOver.reset();
        return image;
    }
    return loadPictureFile(path);
}

std::uint64_t mapMemoryNeed(std::int64_t pixels, bool hasContour, const Options& o) {
    const std::uint64_t area = std::uint64_t(std::max<std::int64_t>(pixels, 0));
    const bool redraws = o.command == Command::Redraw && !o.dryRun;
    // The map and its contour image, loaded or drawn; the passes work in place.
    std::uint64_t need = area * (hasContour || (redraws && o.contours) ? 2 : 1);
    if (redraws) {
        if (o.blur > 0) need += area;  // the blur's spare plane
        if (o.contours) need += area;  // the new contours' work
        if (o.boards) {
            // Both pictures again at the size of the boards.
            const std::uint64_t fitted = std::uint64_t(boardSide(o.grid, o.boards->first)) *
                                         std::uint64_t(boardSide(o.grid, o.boards->second));
            need += 2 * fitted;
        }
    }
    return need + kMapWorkMemory;
}

void CliHost::handOverOnce(const std::string& path, std::shared_ptr<HeightImage> image) {
    m_handOverPath = path;
    m_handOver = std::move(image);
}

namespace {

[[noreturn]] void failRun(const std::string& message) { throw RuntimeError(0, message); }

/// A height map and, when there is one, its contour image.
struct MapPair {
    std::shared_ptr<HeightImage> image, contour;
    std::optional<LevelMapping> mapping;  ///< How the map's 16-bit samples became levels.
};

/// Loads the map and its contour image side by side: two files, two decodes.
MapPair loadPair(const std::string& input, const std::string& contourPath, bool hasContour, const Options& o) {
    const LevelOptions levels{o.levels};
    auto contourLoad = std::async(std::launch::async, [&]() -> std::shared_ptr<HeightImage> {
        return hasContour ? loadPicture(contourPath, levels).image : nullptr;
    });
    MapPair pair;
    try {
        LoadedPicture map = loadPicture(input, levels);
        pair.image = std::move(map.image);
        pair.mapping = map.mapping;
    } catch (...) {
        contourLoad.wait();
        throw;
    }
    pair.contour = contourLoad.get();
    if (pair.contour) checkPairSizes(*pair.image, input, *pair.contour, contourPath);
    return pair;
}

/// A fresh program for one map: nobody answers an error box here, so errors
/// travel to the caller instead.
struct MapApp {
    App app;
    MapApp() { app.session.gblnProgrammerMode = true; }
};

/// Runs body, turning what it throws into the map's failure.
MapOutcome outcomeOf(const std::function<std::string()>& body) {
    try {
        return {body(), {}};
    } catch (const std::exception&) {
        return {{}, toRuntimeError(std::current_exception()).description()};
    }
}

/// Runs map index's work holding its share of the batch's memory (taken before
/// anything is loaded, given back when everything the work made is gone). Running
/// out of memory all the same fails the map with a line naming it and its need.
std::string withMemoryShare(MemoryShare& share, std::size_t index, const std::string& input, const Options& o,
                            const std::function<std::string()>& work) {
    const std::optional<PictureSize> size = declaredPictureSize(input);
    std::error_code ec;
    const bool hasContour = std::filesystem::is_regular_file(contourPathFor(input), ec);
    const std::uint64_t need = size ? mapMemoryNeed(size->pixels(), hasContour, o) : 0;
    const MemoryShare::Lease lease = share.take(index, need);
    const auto ranOut = [&] {
        return outOfMemoryError(input, "its run needs about " + std::to_string(need >> 20) +
                                           " MB, more than this process could get");
    };
    try {
        return work();
    } catch (const std::bad_alloc&) {
        throw ranOut();
    } catch (const std::system_error& e) {
        // A helper thread whose stack finds no room under the cap is short of memory too.
        if (e.code() == std::errc::resource_unavailable_try_again || e.code() == std::errc::not_enough_memory)
            throw ranOut();
        throw;
    } catch (const RuntimeError& e) {
        if (e.number() != err::OutOfMemory || e.description().find(" needs ") != std::string::npos) throw;
        // A bare "Out of memory" says neither which file nor how much; one naming a
        // file gets the map's need added.
        if (e.description() == RuntimeError::standardDescription(err::OutOfMemory)) throw ranOut();
        throw RuntimeError(err::OutOfMemory,
                           e.description() + " (its run needs about " + std::to_string(need >> 20) + " MB)");
    }
}

/// The facts info prints, as "key: value" lines or as one JSON object.
std::string describeMap(const std::string& input, const Options& o, bool named) {
    const bool json = o.json;
    MapApp m;
    const std::string contourPath = contourPathFor(input);
    const bool hasContour = fileExists(m.app, contourPath);
    const auto [image, contour, mapping] = loadPair(input, contourPath, hasContour, o);
    GreyRange range;
    scanGreyRange(*image, range, nullptr);
    std::optional<int> base;
    if (contour) {
        ContourSum sum;
        sumUnderContours(*image, *contour, sum, nullptr);
        base = sum.average();
    }
    const std::string w = std::to_string(image->width()), h = std::to_string(image->height());
    const std::string high = std::to_string(range.high), low = std::to_string(range.low);
    if (json)
        return "{\"map\": " + jsonString(input) + ", \"width\": " + w + ", \"height\": " + h + ", \"high\": " + high +
               ", \"low\": " + low + ", \"contour\": " + (hasContour ? jsonString(contourPath) : "null") +
               ", \"base\": " + (base ? std::to_string(*base) : "null") +
               (mapping ? ", \"levels\": " + jsonString(describeMapping(*mapping)) : std::string()) + "}";
    return (named ? "map: " + oneLine(input) + "\n" : std::string()) + "width: " + w + "\nheight: " + h + "\nhigh: " + high +
           "\nlow: " + low + "\ncontour: " + (hasContour ? oneLine(contourPath) : "none") +
           "\nbase: " + (base ? std::to_string(*base) : "none") + "\n" +
           (mapping ? "levels: " + describeMapping(*mapping) + "\n" : std::string());
}

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
                      bool hasContour) {
    const Options& o = b.o;
    Outputs out;
    out.width = o.boards ? boardSide(o.grid, o.boards->first) : image.width();
    out.height = o.boards ? boardSide(o.grid, o.boards->second) : image.height();
    if (!o.output.empty()) {
        out.image = o.output;
        out.type = namedOutputType(o.output, o.depth);
    } else {
        std::string ext;
        const std::string name = resultName(b.maps[i], out.width, out.height, controls, ext);
        const std::string fitTag = o.boards ? boardFitTag(o.grid, o.boards->first, o.boards->second) : "";
        out.type = pictureTypeFor(name, o.depth.value_or(24));
        out.image = withFitAndExtension(name, fitTag, extensionOf(out.type));
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
/// ground level.
void fitToBoards(Document& doc, const Options& o, const Outputs& out, int groundLevel) {
    if (!o.boards) return;
    try {
        for (Picture* p : {&doc.disp, &doc.dispCL})
            if (!p->image->empty())
                p->replace(std::make_shared<HeightImage>(
                    fitToSize(*p->image, out.width, out.height, o.fit, fcnGrayColor(groundLevel))));
    } catch (const std::invalid_argument& e) {
        failRun(std::string(e.what()) + " for " + std::to_string(o.boards->first) + " x " +
                std::to_string(o.boards->second) + " boards (use --fit " +
                (o.fit == BoardFitMethod::Crop ? "pad" : "crop") + " or --fit scale)");
    }
}

/// The settings, as the window's controls would leave them.
void applySettings(const Host& host, const Options& o) {
    Session& s = host.session();
    host.frame.setGroundLevelValue(o.ground);
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
/// returns the lines naming the files.
std::string redrawMap(RedrawBatch& b, std::size_t i, MapProgress& progress) {
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
    const Outputs out = decideOutputs(b, i, *pair.image, cli.controls(), hasContour);
    const std::string written = pathLines(out.targets);
    if (o.dryRun) return written;

    // The document holds the pictures from here on, alone: a command that replaces
    // one may then reuse its memory.
    openLoadedImage(host, input, std::move(pair.image), std::move(pair.contour));
    applySettings(host, o);
    redraw(host);
    fitToBoards(doc, o, out, host.session().gintGroundLevel);

    if (!o.assetDir.empty()) {
        writeAssetFolder(*doc.disp.image, o.assetDir, out.assetName);
        return written;
    }
    std::vector<PictureWrite> writes{{doc.disp.image.get(), out.image, out.type}};
    if (out.writeContour) writes.push_back({doc.dispCL.image.get(), out.contour, out.type});
    if (out.writeContour && doc.dispCL.image->empty())
        failRun("the contour image of " + input + " is empty; nothing written");
    try {
        savePictureFiles(writes, out.existing);
    } catch (const TargetExists& e) {
        failExists(e.path());
    }
    return written;
}

/// Several maps free their pictures and allocate the same sizes again for the
/// next. By default the allocator hands pictures of a few megabytes back to the
/// system at once and the next map faults every page in again, which costs more
/// system time than the passes themselves. Keeping them (up to 32 MiB a picture;
/// larger ones are still mapped and unmapped whole) lets the next map reuse them.
/// A single map gains nothing from it: its pictures would come zeroed by hand.
void keepFreedPicturesForTheNextMap() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

/// Under an address-space cap (ulimit -v) every malloc arena a thread opens takes
/// 64 MiB of the cap whether it is used or not, and the jobs' threads would leave
/// the maps' pictures no room: keep to one arena (pictures are mapped on their own).
void keepToOneArenaUnderACap() {
    struct rlimit cap {};
    if (::getrlimit(RLIMIT_AS, &cap) == 0 && cap.rlim_cur != RLIM_INFINITY) mallopt(M_ARENA_MAX, 1);
}

/// The passes a redraw runs, each with its own percentages: the opening scan, the
/// chosen passes, the blur, the contours and the final scan.
int passesOf(const Options& o) {
    return 2 + int(o.calcBase) + int(o.mountains.has_value()) + int(o.valleys.has_value()) + 2 * int(o.scaleUp) +
           int(o.blur > 0) + int(o.contours);
}

}  // namespace

int run(const Options& o) {
    const std::vector<BatchInput> inputs =
        sortInputs(o.inputs, {contourPathFor, [](const std::string& p) {
                                  std::error_code ec;
                                  return std::filesystem::is_regular_file(p, ec);
                              }});
    std::vector<std::string> maps;
    for (const BatchInput& in : inputs)
        if (in.skip == Skip::None) maps.push_back(in.path);

    BatchReport report;
    report.quiet = o.quiet;
    report.terminal = ::isatty(STDERR_FILENO) == 1;
    // An INPUT named twice is one map: what counts is the inputs once sorted.
    const bool several = inputs.size() > 1;
    report.single = !several;
    const unsigned jobs = o.jobs ? o.jobs : defaultJobCount();
    if (maps.size() > 1) {
        keepFreedPicturesForTheNextMap();
        PlaneMemory::keepFreedPlanes(true);
    }
    keepToOneArenaUnderACap();

    if (o.command == Command::Info) {
        report.doneWord = "read";
        // Several maps: a JSON array, or blocks of lines parted by an empty line.
        struct Framing {
            std::string before, between, after;
        };
        const Framing framing = !several ? Framing{} : o.json ? Framing{"[\n", ",\n", "\n]\n"} : Framing{"", "\n", ""};
        report.before = framing.before;
        report.between = framing.between;
        report.after = framing.after;
        MemoryShare memory(pictureMemoryBudget(), maps.size());
        return runBatch(inputs, jobs, report, 1, [&](std::size_t i, const std::string& input, MapProgress&) {
            MapOutcome outcome = outcomeOf([&] {
                return withMemoryShare(memory, i, input, o, [&] {
                    return describeMap(input, o, several) + (o.json && !several ? "\n" : "");
                });
            });
            memory.pass(i);  // a map that failed before taking its share gives its turn up
            return outcome;
        });
    }

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
        MapOutcome outcome = outcomeOf(
            [&] { return withMemoryShare(batch.memory, i, maps[i], o, [&] { return redrawMap(batch, i, progress); }); });
        batch.memory.pass(i);
        batch.claims.settle(i);
        return outcome;
    });
}

}  // namespace morv::cli
