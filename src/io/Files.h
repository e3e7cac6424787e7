#pragma once
#include <string>

namespace morv {

struct App;

/// The companion contour image's path: the first len - 4 characters of the height
/// image's path, "CL." and its last three characters (Ridge.bmp -> RidgeCL.bmp;
/// a four-letter extension gives Ridge.CL.peg for Ridge.jpeg).
std::string contourPathFor(const std::string& imagePath);

/// True when the path names an ordinary file: not a folder, not a hidden file (a
/// name starting with "."). A name with the wildcards * or ? in its last part is
/// true when any ordinary file in that folder matches. Traced as a routine.
bool fileExists(App& app, const std::string& path);

}  // namespace morv
