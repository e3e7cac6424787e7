#pragma once
#include <cstdio>
#include <optional>
#include <string>

#include "app/cli/CliOptions.h"
#include "engine/HeightImage.h"
#include "engine/MapScale.h"
#include "engine/SampleLevels.h"

namespace morv::cli {

/// The scale a map carries into a run: its scale file's, else for a map read from
/// 16-bit samples (mapping) the samples' own, taken as metres; else none. Throws
/// RuntimeError when the scale file cannot be read: a run does not drop a scale.
std::optional<MapScale> runScaleOf(const std::string& map, const HeightImage& image,
                                   const std::optional<LevelMapping>& mapping);

/// The ground level --ground asks for on a map of this scale: the level given, or
/// the metres given turned into the nearest level. Throws RuntimeError with the
/// reason when metres cannot be turned into a level (no scale, out of range).
int groundLevelFor(const Options& options, const std::optional<MapScale>& scale);

/// The scale's lines as `scale` prints them ("pixel: 5 m", "level: 0.5 m",
/// "base: 100 m", "levels 0..255: 100 m to 227.5 m", "georeferenced: yes").
std::string scaleLines(const MapScale& scale);

/// `morv-cli scale MAP`: shows the map's scale, or with --level-metres,
/// --base-metres or --pixel-metres sets those in its scale file (the others kept,
/// or for a new file the metres a pixel of its grid and the rest 0) and prints the
/// file written and the scale. Returns the exit status; errors are one line
/// "morv-cli: ..." on err.
int runScale(const Options& options, std::FILE* out = stdout, std::FILE* err = stderr);

/// `morv-cli level MAP ... -o OUT`: levels the site of MAP (see levelSite) and
/// writes OUT, with the contour image and the scale file when MAP has them, as
/// one set; prints the files written and one line of what changed. A site outside
/// the map or of no area, or metres without a scale, fail with nothing written.
int runLevel(const Options& options, std::FILE* out = stdout, std::FILE* err = stderr);

}  // namespace morv::cli
