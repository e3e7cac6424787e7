#pragma once
#include <optional>
#include <string>

#include "engine/MapScale.h"
#include "io/SafeWrite.h"

namespace morv {

/// The scale file that travels with a map: its name less the extension, then
/// ".scale.json" (Hills.bmp -> Hills.scale.json), in the map's folder.
std::string scalePathFor(const std::string& mapPath);

/// True for a name that a scale file has (it ends in ".scale.json", any case).
bool isScaleFileName(const std::string& path);

/// The scale as the file holds it: a small JSON object, one key a line, with
/// "pixelMetres", "levelMetres" and "baseMetres", and "crs" and "geoTransform"
/// for a georeferenced map.
std::string scaleFileText(const MapScale& scale);

/// Reads a scale file's text. Throws RuntimeError (481) saying what is wrong,
/// naming path: not JSON, not an object, a value missing, not a number, negative
/// metres or a geoTransform other than six numbers.
MapScale parseScaleText(const std::string& text, const std::string& path);

/// The scale file beside the map at mapPath: nothing when there is none. Throws
/// RuntimeError when it cannot be read or is malformed (see parseScaleText).
std::optional<MapScale> readScaleFile(const std::string& mapPath);

/// The scale file's content for the map at mapPath, to be written in the same set
/// as the map (savePictureFiles' alongside, writeFilesSafely).
FileContent scaleFileFor(const std::string& mapPath, const MapScale& scale);

/// Writes the scale file of the map at mapPath on its own, safely. Throws
/// RuntimeError (TargetExists with Existing::Refuse and a file there).
void writeScaleFile(const std::string& mapPath, const MapScale& scale, Existing existing = Existing::Replace);

/// Removes the scale file of the map at mapPath when a readable one is there: for a
/// map written without a scale over one that had it, which would otherwise take
/// on the old map's scale. A file that cannot be read as a scale is left for the
/// user to mend. Errors are ignored (the map is written by then).
void dropScaleFile(const std::string& mapPath) noexcept;

}  // namespace morv
