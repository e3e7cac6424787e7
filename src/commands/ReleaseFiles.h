#pragma once
#include <functional>
#include <string>

#include "core/App.h"

namespace morv {

/// The release folder used when none is configured: "MorvRelease" in the user's
/// home folder.
inline constexpr const char* kReleaseFolderName = "MorvRelease";

/// The name the program's executable gets in the release folder.
inline constexpr const char* kReleaseExecutableName = "morv";

/// The release folder: releaseDir when it is given and not empty, otherwise
/// "MorvRelease" in homeDir (or, without one, in the user's home folder).
std::string releaseFolderFrom(const char* releaseDir, const char* homeDir);

/// The path of the running program's own executable (from /proc/self/exe), or ""
/// when it cannot be found.
std::string ownExecutablePath();

/// The version page for version v: three lines, each ended by gstrCR and then a
/// carriage return and line feed except the last, which has only the line end.
std::string versionPage(const std::string& v, const std::string& cr);

/// True when a file name matches the folder-search pattern (`*` any run of
/// characters, `?` one character), letter case ignored.
bool matchesPattern(const std::string& pattern, const std::string& name);

/// The release file maker, traced and trapped:
/// removes old markers ("*.*.*.txt") and archives ("Morv_v*.zip") from releaseDir,
/// creates the empty marker "Morv_v" + gstrVersion + ".txt", writes "Morv.ver" and
/// "Morv.html" and copies executablePath there as "morv". Each file is written under
/// a temporary name and renamed into place. Then runs unloadMainWindow, if given.
/// Traces "MDIForm.mnuMakeDLFiles_Click".
void makeReleaseFiles(App& app, const std::string& releaseDir, const std::string& executablePath,
                          const std::function<void()>& unloadMainWindow = {});

}  // namespace morv
