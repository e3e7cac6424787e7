#include "io/Files.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include "core/Routine.h"
#include "engine/FileNames.h"

namespace morv {

std::string contourPathFor(const std::string& p) {
    // Counting the extension's own length: a fixed four characters would give
    // Vale.CL.peg for Vale.jpeg, a name no contour image has.
    const std::string stem = withoutExtension(p);
    return stem + "CL" + p.substr(stem.size());
}

namespace {

/// A regular file. A name beginning with a dot is a hidden file here, and still a
/// file the user may name (a wildcard does not match it unless it starts with a dot).
bool ordinaryFile(const std::string& prefix, const std::string& name) {
    if (name.empty()) return false;
    struct stat st {};
    return ::stat((prefix + name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool findEntry(const std::string& path) {
    if (path.empty()) return false;
    const auto slash = path.find_last_of('/');
    // The folder with its trailing slash, or empty for the working folder.
    const std::string prefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = path.substr(prefix.size());
    if (name.find_first_of("*?") == std::string::npos) return ordinaryFile(prefix, name);
    DIR* dir = ::opendir(prefix.empty() ? "." : prefix.c_str());
    if (!dir) return false;
    bool found = false;
    while (const dirent* e = ::readdir(dir)) {
        if (::fnmatch(name.c_str(), e->d_name, FNM_NOESCAPE | FNM_PERIOD) == 0 && ordinaryFile(prefix, e->d_name)) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

bool fileExists(App& app, const std::string& path) {
    Routine r(app, "Ovo-Code.fcnFileExists");
    bool found = false;
    r([&] { found = findEntry(path); });
    return found;
}

}  // namespace morv
