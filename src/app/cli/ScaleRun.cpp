#include <sys/stat.h>

#include <exception>

#include "analysis/GroundLevel.h"
#include "app/cli/BatchInputs.h"
#include "app/cli/ScaleRun.h"
#include "core/RuntimeError.h"
#include "engine/HeightUnits.h"
#include "io/Files.h"
#include "io/ImageIO.h"
#include "io/PictureSize.h"
#include "io/ScaleFile.h"

namespace morv::cli {

std::optional<MapScale> runScaleOf(const std::string& map, const HeightImage& image,
                                   const std::optional<LevelMapping>& mapping) {
    std::optional<MapScale> scale = readScaleFile(map);
    if (!scale && mapping) scale = scaleOfSamples(mapping->used, gridPixelMetres(image.width(), image.height()));
    return scale;
}

int groundLevelFor(const Options& o, const std::optional<MapScale>& scale) {
    if (o.groundMetres.empty()) return o.ground;
    try {
        return groundLevelFromText(o.groundMetres, scale);
    } catch (const RuntimeError& e) {
        throw RuntimeError(0, "--ground: " + e.description() + " (see morv-cli scale)");
    }
}

std::string scaleLines(const MapScale& s) {
    auto known = [](double metres) { return metres > 0 ? metresText(metres) : std::string("unknown"); };
    std::string lines = "pixel: " + known(s.pixelMetres) + "\nlevel: " + known(s.levelMetres) +
                        "\nbase: " + metresText(s.baseMetres) + "\n";
    if (s.knowsHeights())
        lines += "levels 0..255: " + metresText(s.metresOfLevel(0)) + " to " + metresText(s.metresOfLevel(255)) + "\n";
    return lines + "georeferenced: " + (s.isGeoreferenced() ? "yes" : "no") + "\n";
}

int runScale(const Options& o, std::FILE* out, std::FILE* err) {
    const std::string& map = o.inputs.front();
    auto fail = [&](const std::string& message) {
        std::fprintf(err, "morv-cli: %s\n", oneLine(message).c_str());
        return 1;
    };
    try {
        if (isScaleFileName(map)) return fail(map + " is a scale file; name its map");
        struct stat st {};
        if (::stat(map.c_str(), &st) != 0) throw fileError(map, errno);
        if (!S_ISREG(st.st_mode) || !pictureFileTypeOf(map)) return fail(map + " is not a height map");
        // A contour image has no scale of its own: its map's is the one.
        const BatchInput in = sortInputs({map}, {contourPathFor, [](const std::string& p) {
                                                     struct stat s {};
                                                     return ::stat(p.c_str(), &s) == 0 && S_ISREG(s.st_mode);
                                                 }}).front();
        if (in.skip != Skip::None) return fail(map + " is the contour image of " + in.owner + "; give the map");

        const std::optional<MapScale> had = readScaleFile(map);
        const bool setting = o.levelMetres || o.baseMetres || o.pixelMetres;
        if (!setting) {
            if (!had) {
                std::fprintf(out, "scale: none (set one with --level-metres, --base-metres and --pixel-metres)\n");
                return 0;
            }
            std::fputs(scaleLines(*had).c_str(), out);
            return 0;
        }
        MapScale scale;
        if (had) scale = *had;
        else if (const auto size = declaredPictureSize(map)) scale.pixelMetres = gridPixelMetres(size->width, size->height);
        else scale.pixelMetres = kGridPixelMetres;
        if (o.levelMetres) scale.levelMetres = *o.levelMetres;
        if (o.baseMetres) scale.baseMetres = *o.baseMetres;
        if (o.pixelMetres) scale.pixelMetres = *o.pixelMetres;
        writeScaleFile(map, scale);
        std::fprintf(out, "%s\n%s", oneLine(scalePathFor(map)).c_str(), scaleLines(scale).c_str());
        return 0;
    } catch (const std::exception&) {
        return fail(toRuntimeError(std::current_exception()).description());
    }
}

}  // namespace morv::cli
