#include "commands/ReleaseFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "core/Routine.h"
#include "core/RuntimeError.h"
#include "io/SafeWrite.h"

namespace morv {

namespace {

/// The plain files of a folder whose names match the pattern, hidden files left
/// out as a folder search with normal attributes leaves them out.
std::vector<std::string> matchingFiles(const std::string& folder, const std::string& pattern) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) throw fileError(folder, errno);
    std::vector<std::string> found;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.' || !matchesPattern(pattern, name)) continue;
        struct stat st {};
        if (::stat((folder + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) found.push_back(name);
    }
    ::closedir(d);
    return found;
}

void removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw fileError(path, errno);
}

/// Copies a file through a staged copy, keeping the source's permission bits.
void copyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throw fileError(from, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{in};
    struct stat st {};
    if (::fstat(in, &st) != 0) throw fileError(from, errno);
    StagedFile out(to);
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fileError(from, errno);
        }
        if (n == 0) break;
        out.write(buf, static_cast<std::size_t>(n));
    }
    out.commit();
    if (::chmod(to.c_str(), st.st_mode & 07777) != 0) throw fileError(to, errno);
}

}  // namespace

std::string releaseFolderFrom(const char* releaseDir, const char* homeDir) {
    if (releaseDir && *releaseDir) return releaseDir;
    std::string home;
    if (homeDir && *homeDir) home = homeDir;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    return home + "/" + kReleaseFolderName;
}

std::string ownExecutablePath() {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return {};
    buf.resize(static_cast<std::size_t>(n));
    return buf;
}

std::string versionPage(const std::string& v, const std::string& cr) {
    return "<html><head><title>" + v +
           "</title></head><body><center><font size=5>The Current Version of Morv is<br>" + cr + "\r\n" + v + cr +
           "\r\n" + "</center></body></html>" + "\r\n";
}

bool matchesPattern(const std::string& pattern, const std::string& name) {
    return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

void makeReleaseFiles(App& app, const std::string& releaseDir, const std::string& executablePath,
                          const std::function<void()>& unloadMainWindow) {
    Routine r(app, "MDIForm.mnuMakeDLFiles_Click");
    const Session& s = app.session;
    const std::string folder = releaseDir;
    // Old markers, then old archives: each file found is removed in its own
    // statement, so Ignore on one that cannot be removed goes on with the next.
    for (const char* pattern : {"*.*.*.txt", "Morv_v*.zip"}) {
        std::vector<std::string> old;
        r([&] { old = matchingFiles(folder, pattern); });
        for (const std::string& name : old) r([&] { removeFile(folder + "/" + name); });
    }
    r([&] { writeFilesSafely({{folder + "/Morv_v" + s.gstrVersion + ".txt", ""}}); });
    r([&] { writeFilesSafely({{folder + "/Morv.ver", versionPage(s.gstrVersion, s.gstrCR)}}); });
    r([&] { writeFilesSafely({{folder + "/Morv.html", versionPage(s.gstrVersion, s.gstrCR)}}); });
    r([&] { copyFile(executablePath, folder + "/" + kReleaseExecutableName); });
    if (unloadMainWindow) r([&] { unloadMainWindow(); });
}

}  // namespace morv
