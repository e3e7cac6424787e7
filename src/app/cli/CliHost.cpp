#include "app/cli/CliHost.h"

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <stdexcept>
#include <system_error>

#include "app/cli/BatchInputs.h"
#include "app/cli/JobRunner.h"
#include "engine/BoardFit.h"
#include "io/Files.h"
#include "io/ImageIO.h"
#include "io/PictureSize.h"
#include "io/ScaleFile.h"

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

void failRun(const std::string& message) { throw RuntimeError(0, message); }

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

MapOutcome outcomeOf(const std::function<std::string()>& body) {
    try {
        return {body(), {}, {}};
    } catch (const std::exception&) {
        return {{}, toRuntimeError(std::current_exception()).description(), {}};
    }
}

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

namespace {

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

    return o.command == Command::Info ? runInfo(o, inputs, maps, report, jobs) : runRedraw(o, inputs, maps, report, jobs);
}

}  // namespace morv::cli
