#include "app/cli/CliHost.h"

#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <future>
#include <iostream>

#include "analysis/BaseLevel.h"
#include "analysis/ColourRange.h"
#include "commands/FileCommands.h"
#include "commands/PictureCommands.h"
#include "commands/Redraw.h"
#include "core/Routine.h"
#include "engine/ResultName.h"
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
};

/// Loads the map and its contour image side by side: two files, two decodes.
MapPair loadPair(const std::string& input, const std::string& contourPath, bool hasContour) {
    auto contourLoad = std::async(std::launch::async, [&]() -> std::shared_ptr<HeightImage> {
        return hasContour ? loadPictureFile(contourPath) : nullptr;
    });
    MapPair pair;
    try {
        pair.image = loadPictureFile(input);
    } catch (...) {
        contourLoad.wait();
        throw;
    }
    pair.contour = contourLoad.get();
    return pair;
}

int runInfo(App& app, const Options& o) {
    const std::string contourPath = contourPathFor(o.input);
    const bool hasContour = fileExists(app, contourPath);
    const auto [image, contour] = loadPair(o.input, contourPath, hasContour);
    GreyRange range;
    scanGreyRange(*image, range, nullptr);
    std::string base = "none";
    if (contour) {
        ContourSum sum;
        sumUnderContours(*image, *contour, sum, nullptr);
        base = std::to_string(sum.average());
    }
    std::printf("width: %d\nheight: %d\nhigh: %d\nlow: %d\ncontour: %s\nbase: %s\n", image->width(), image->height(),
                range.high, range.low, hasContour ? contourPath.c_str() : "none", base.c_str());
    return 0;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

/// Where the results go: the height image and, when written, its contour image.
struct Outputs {
    std::string image, contour;
    bool writeContour = false;
};

/// The output paths, checked before any work is done: without --force, existing
/// files are refused.
Outputs decideOutputs(const Options& o, const HeightImage& image, const TerrainControls& controls, bool hasContour) {
    Outputs out;
    std::string ext;
    out.image = o.output.empty() ? resultName(o.input, image.width(), image.height(), controls, ext) : o.output;
    out.writeContour = hasContour || o.contours;
    out.contour = contourPathFor(out.image);
    if (!o.force) {
        if (exists(out.image)) failRun(out.image + " exists (use --force to replace it)");
        if (out.writeContour && exists(out.contour)) failRun(out.contour + " exists (use --force to replace it)");
    }
    return out;
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
    const auto [image, contour] = loadPair(o.input, contourPath, hasContour);
    cli.handOverOnce(o.input, image);
    const Outputs out = decideOutputs(o, *image, cli.controls(), hasContour);

    openLoadedImage(host, o.input, image, contour);
    applySettings(host, o);
    redraw(host);
    cli.setStatus("");

    std::vector<PictureWrite> writes{{doc.disp.image.get(), out.image}};
    if (out.writeContour) writes.push_back({doc.dispCL.image.get(), out.contour});
    if (out.writeContour && doc.dispCL.image->empty())
        failRun("the contour image of " + o.input + " is empty; nothing written");
    savePictureFiles(writes);
    for (const auto& w : writes) std::printf("%s\n", w.path.c_str());
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
