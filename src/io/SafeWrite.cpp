#include "io/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/RuntimeError.h"

namespace morv {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

mode_t newFileMode(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

StagedFile::StagedFile(std::string target) : m_target(std::move(target)) {
    const std::string folder = folderOf(m_target);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) throw fileError(m_target, errno);
    if (!S_ISDIR(st.st_mode)) throw fileError(m_target, ENOTDIR);
    // A file its owner marked read-only is not replaced behind their back.
    if (::access(m_target.c_str(), F_OK) == 0 && ::access(m_target.c_str(), W_OK) != 0) throw fileError(m_target, errno);
    const auto slash = m_target.find_last_of('/');
    const std::string prefix = slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1);
    std::string tmpl = prefix + "." + m_target.substr(prefix.size()) + ".morv-XXXXXX";
    m_fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (m_fd < 0) throw fileError(m_target, errno);
    m_temp = tmpl;
    ::fchmod(m_fd, newFileMode(m_target));
}

StagedFile::StagedFile(StagedFile&& o) noexcept
    : m_target(std::move(o.m_target)), m_temp(std::move(o.m_temp)), m_fd(o.m_fd), m_committed(o.m_committed) {
    o.m_fd = -1;
    o.m_temp.clear();
    o.m_committed = true;
}

StagedFile::~StagedFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_committed && !m_temp.empty()) ::unlink(m_temp.c_str());
}

void StagedFile::write(const void* data, std::size_t size) {
    if (m_fd < 0) throw RuntimeError(err::PathFileAccess, "Path/File access error: " + m_target + ": already closed");
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fileError(m_target, errno);
        }
        if (n == 0) throw fileError(m_target, ENOSPC);
        p += n;
        size -= std::size_t(n);
    }
}

void StagedFile::finish() {
    if (m_fd < 0) return;
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) throw fileError(m_target, errno);
}

void StagedFile::commit() {
    finish();
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) throw fileError(m_target, errno);
    m_committed = true;
}

void commitAll(std::vector<StagedFile>& files) {
    for (auto& f : files) f.finish();
    for (auto& f : files) f.commit();
}

void writeFilesSafely(const std::vector<FileContent>& files) {
    std::vector<StagedFile> staged;
    staged.reserve(files.size());
    for (const auto& f : files) {
        staged.emplace_back(f.path);
        staged.back().write(f.bytes);
    }
    commitAll(staged);
}

}  // namespace morv
