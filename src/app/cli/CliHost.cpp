#include "app/cli/CliHost.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include <cstdio>
#include <future>
#include <iostream>

#include "analysis/BaseLevel.h"
#include "analysis/Blur.h"
#include "analysis/ColourRange.h"
#include "core/Routine.h"
#include "documents/Files.h"
#include "engine/ImageIO.h"
#include "engine/Redraw.h"
#include "engine/ResultName.h"
#include "engine/TerrainSettings.h"

namespace morv::cli {

CliHost::CliHost(App& app, const Options& o, bool progressBar) : m_app(app), m_progressBar(progressBar) {
    m_controls.flattenTicked = o.mountains != 0;
    m_controls.flattenLetter = o.mountains == 'L' ? 'L' : 'F';
    m_controls.flattenTag = o.mountains == 'L' ? "Lower" : "Flatten";
    m_controls.mountainsValue = o.mountains ? o.mountainsPercent : 0;
    m_controls.fillTicked = o.valleys != 0;
    m_controls.fillLetter = o.valleys == 'I' ? 'I' : 'F';
    m_controls.valleysValue = o.valleys ? o.valleysPercent : 100;
    m_controls.scaleTag = o.scaleUp ? "True" : "False";
    m_controls.blurTicked = o.blur > 0;
    m_controls.blurValue = o.blur;
    m_controls.autoContours = o.contours;
}

CliHost::~CliHost() { setStatus(""); }

void CliHost::setStatus(const std::string& text) {
    if (!m_progressBar || text == m_shown) return;
    m_shown = text;
    if (text.empty()) {
        std::fputs("\r\033[K", stderr);
        return;
    }
    // The progress is the last number before the final "%".
    int percent = 0;
    if (text.size() >= 2 && text.back() == '%') {
        std::size_t start = text.size() - 1;
        while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
        percent = std::atoi(text.c_str() + start);
    }
    constexpr int kWidth = 30;
    const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
    std::fprintf(stderr, "\r\033[K[%s%s] %s", std::string(std::size_t(filled), '#').c_str(),
                 std::string(std::size_t(kWidth - filled), '.').c_str(), text.c_str());
    std::fflush(stderr);
}

void CliHost::setGroundLevelValue(int value) {
    m_app.session.gintGroundLevel = std::int16_t(value);
    m_app.session.glngGroundColor = fcnGrayColor(value);
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
    if (pair.contour) checkPairSizes(*pair.image, input, *pair.contour, contourPath);
    return pair;
}

int runInfo(App& app, const Options& o) {
    const std::string contourPath = contourPathFor(o.input);
    const bool hasContour = fcnFileExists(app, contourPath);
    const auto [image, contour] = loadPair(o.input, contourPath, hasContour);
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
    return 0;
}

/// The message for an output that exists and may not be replaced.
[[noreturn]] void failExists(const TargetExists& e) { failRun(e.path() + " exists (use --force to replace it)"); }

int runRedraw(App& app, const Options& o) {
    Session& s = app.session;
    CliHost host(app, o, ::isatty(STDERR_FILENO) == 1);
    Document& doc = host.document();

    const std::string contourPath = contourPathFor(o.input);
    const bool hasContour = fcnFileExists(app, contourPath);
    if (o.calcBase && !hasContour) failRun(o.input + " has no contour image (" + contourPath + ")");
    const auto [image, contour] = loadPair(o.input, contourPath, hasContour);
    host.handOverOnce(o.input, image);

    // Where the results go, checked before any work is done.
    const TerrainControls controls = host.controls();
    std::string ext;
    const std::string output = o.output.empty() ? resultName(o.input, image->width(), image->height(), controls, ext) : o.output;
    const bool writeContour = hasContour || o.contours;
    const std::string contourOutput = contourPathFor(output);
    std::vector<std::string> targets{output};
    if (writeContour) targets.push_back(contourOutput);
    const Existing existing = o.force ? Existing::Replace : Existing::Refuse;
    // Every output is checked before any work (and again, atomically, when written).
    try {
        checkTargets(targets, existing);
    } catch (const TargetExists& e) {
        failExists(e);
    }

    // Open: the pictures, the paths, the opening range and the blur preparation.
    s.gstrImageFile = o.input;
    s.gstrImageExt = o.input.size() >= 3 ? o.input.substr(o.input.size() - 3) : o.input;
    s.gstrContourFile = contourPath;
    doc.dialogFileName = o.input;
    doc.disp.replace(image);
    doc.dispCL.replace(contour);
    s.gblnOpening = true;
    cmdGetHighLowColor_Click(host);
    s.gblnOpening = false;
    LoadBlurData(host);

    // The settings, as the window's controls would leave them.
    host.setGroundLevelValue(o.ground);
    if (o.calcBase) cmdCalcCL_Click(host);
    if (o.mountains) s.gsngMountainFactor = mountainFactorFromBar(o.mountainsPercent);
    if (o.valleys) s.gdblValleyFactor = valleyFactorFromBar(o.valleysPercent);
    s.gblnScaleUp = o.scaleUp;

    cmdRedraw_Click(host);
    host.setStatus("");

    std::vector<PictureWrite> writes{{doc.disp.image.get(), output}};
    if (writeContour) writes.push_back({doc.dispCL.image.get(), contourOutput});
    if (writeContour && doc.dispCL.image->empty())
        failRun("the contour image of " + o.input + " is empty; nothing written");
    try {
        savePictureFiles(writes, existing);
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
