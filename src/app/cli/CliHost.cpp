#include "app/cli/CliHost.h"

#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <future>
#include <iostream>
#include <stdexcept>

#include "analysis/BaseLevel.h"
#include "analysis/ColourRange.h"
#include "commands/FileCommands.h"
#include "commands/PictureCommands.h"
#include "commands/Redraw.h"
#include "core/Routine.h"
#include "engine/BoardFit.h"
#include "engine/ResultName.h"
#include "io/AssetFolder.h"
#include "io/Files.h"
#include "io/ImageIO.h"

namespace morv::cli {

CliHost::CliHost(App& app, const Options& o, bool progressBar)
    : m_app(app), m_frame(app.session), m_progressBar(progressBar) {
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

CliHost::~CliHost() { setStatus(""); }

void CliHost::setStatus(const std::string& text) { draw(text, 0); }

void CliHost::setProgress(const std::string& text, int percent) { draw(text, percent); }

void CliHost::draw(const std::string& text, int percent) {
    if (!m_progressBar || text == m_shown) return;
    m_shown = text;
    if (text.empty()) {
        std::fputs("\r\033[K", stderr);
        return;
    }
    constexpr int kWidth = 30;
    const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
    std::fprintf(stderr, "\r\033[K[%s%s] %s", std::string(std::size_t(filled), '#').c_str(),
                 std::string(std::size_t(kWidth - filled), '.').c_str(), text.c_str());
    std::fflush(stderr);
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

int runInfo(App& app, const Options& o) {
    const std::string contourPath = contourPathFor(o.input);
    const bool hasContour = fileExists(app, contourPath);
    const auto [image, contour, mapping] = loadPair(o.input, contourPath, hasContour, o);
    GreyRange range;
    scanGreyRange(*image, range, nullptr);
    std::string base = "none";
    if (contour) {
        ContourSum sum;
        sumUnderContours(*image, *contour, sum, nullptr);
        base = std::to_string(sum.average());
    }
    // Paths are printed as the error lines print them: one line whatever they hold.
    std::printf("width: %d\nheight: %d\nhigh: %d\nlow: %d\ncontour: %s\nbase: %s\n", image->width(), image->height(),
                range.high, range.low, hasContour ? oneLine(contourPath).c_str() : "none", base.c_str());
    if (mapping) std::printf("levels: %s\n", describeMapping(*mapping).c_str());
    return 0;
}

/// The message for an output that exists and may not be replaced.
[[noreturn]] void failExists(const TargetExists& e) { failRun(e.path() + " exists (use --force to replace it)"); }

/// Where the results go: the height image and, when written, its contour image, in
/// one file type; or an asset folder.
struct Outputs {
    std::string image, contour;
    bool writeContour = false;
    Existing existing = Existing::Refuse;
    PictureType type = PictureType::Bmp24;
    int width = 0, height = 0;  ///< The result's size, after any fit to boards.
    std::string assetName;
};

/// The output paths, checked before any work is done: without --force, existing
/// files are refused. The type follows the output's extension and --depth; the
/// result name is written as 24-bit BMP unless --depth 8 is given.
Outputs decideOutputs(const Options& o, const HeightImage& image, const TerrainControls& controls, bool hasContour) {
    Outputs out;
    out.width = o.boards ? boardSide(o.grid, o.boards->first) : image.width();
    out.height = o.boards ? boardSide(o.grid, o.boards->second) : image.height();
    const std::string fitTag = o.boards ? boardFitTag(o.grid, o.boards->first, o.boards->second) : "";
    if (o.output.empty()) {
        std::string ext;
        const std::string name = resultName(o.input, out.width, out.height, controls, ext);
        out.type = pictureTypeFor(name, o.depth.value_or(24));
        out.image = withFitAndExtension(name, fitTag, extensionOf(out.type));
    } else {
        out.image = o.output;
        out.type = pictureTypeFor(o.output, o.depth.value_or(pictureTypeFor(o.output, 8) == PictureType::Png8 ? 8 : 24));
    }
    out.writeContour = o.assetDir.empty() && (hasContour || o.contours);
    out.contour = contourPathFor(out.image);
    std::vector<std::string> targets{out.image};
    if (!o.assetDir.empty()) {
        const auto slash = out.image.find_last_of('/');
        const std::string file = out.image.substr(slash == std::string::npos ? 0 : slash + 1);
        out.assetName = file.substr(0, file.find_last_of('.'));
        const std::string folder = o.assetDir.back() == '/' ? o.assetDir : o.assetDir + "/";
        targets = {folder + out.assetName + ".png", folder + "thumbnail.jpg", folder + "config.txt"};
    } else if (out.writeContour) {
        targets.push_back(out.contour);
    }
    out.existing = o.force ? Existing::Replace : Existing::Refuse;
    if (!o.assetDir.empty()) {
        // The asset folder may not exist yet: its writer makes it and checks its files.
        if (!o.force)
            for (const auto& t : targets)
                if (::access(t.c_str(), F_OK) == 0) failRun(t + " exists (use --force to replace it)");
        return out;
    }
    // Checked again, atomically, when the files are written.
    try {
        checkTargets(targets, out.existing);
    } catch (const TargetExists& e) {
        failExists(e);
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

int runRedraw(App& app, const Options& o) {
    CliHost cli(app, o, ::isatty(STDERR_FILENO) == 1);
    const Host host = cli.host();
    Document& doc = cli.document();

    const std::string contourPath = contourPathFor(o.input);
    const bool hasContour = fileExists(app, contourPath);
    if (o.calcBase && !hasContour) failRun(o.input + " has no contour image (" + contourPath + ")");
    const auto [image, contour, mapping] = loadPair(o.input, contourPath, hasContour, o);
    cli.handOverOnce(o.input, image);
    const Outputs out = decideOutputs(o, *image, cli.controls(), hasContour);

    openLoadedImage(host, o.input, image, contour);
    applySettings(host, o);
    redraw(host);
    cli.setStatus("");
    fitToBoards(doc, o, out, host.session().gintGroundLevel);

    if (!o.assetDir.empty()) {
        const AssetFiles files = writeAssetFolder(*doc.disp.image, o.assetDir, out.assetName);
        const std::string folder = o.assetDir.back() == '/' ? o.assetDir : o.assetDir + "/";
        for (const auto& f : {files.image, files.thumbnail, files.config}) std::printf("%s%s\n", folder.c_str(), f.c_str());
        return 0;
    }
    std::vector<PictureWrite> writes{{doc.disp.image.get(), out.image, out.type}};
    if (out.writeContour) writes.push_back({doc.dispCL.image.get(), out.contour, out.type});
    if (out.writeContour && doc.dispCL.image->empty())
        failRun("the contour image of " + o.input + " is empty; nothing written");
    try {
        savePictureFiles(writes, out.existing);
    } catch (const TargetExists& e) {
        failExists(e);
    }
    for (const auto& w : writes) std::printf("%s\n", oneLine(w.path).c_str());
    return 0;
}

}  // namespace

int run(const Options& o) {
    App app;
    // Nobody answers an error box here: errors travel to this function instead.
    app.session.gblnProgrammerMode = true;
    try {
        return o.command == Command::Info ? runInfo(app, o) : runRedraw(app, o);
    } catch (const std::exception&) {
        const RuntimeError e = toRuntimeError(std::current_exception());
        std::fprintf(stderr, "morv-cli: %s\n", oneLine(e.description()).c_str());
        return 1;
    }
}

}  // namespace morv::cli
