#pragma once
#include <string>

namespace morv {

struct App;

/// The companion contour image's path: the height image's path with "CL" put
/// before its extension, whatever the extension's length (Ridge.bmp -> RidgeCL.bmp,
/// Vale.jpeg -> ValeCL.jpeg); a name without extension gets "CL" at its end.
std::string contourPathFor(const std::string& imagePath);

/// True when the path names an ordinary file: not a folder, not a hidden file (a
/// name starting with "."). A name with the wildcards * or ? in its last part is
/// true when any ordinary file in that folder matches. Traced as a routine.
bool fileExists(App& app, const std::string& path);

}  // namespace morv
