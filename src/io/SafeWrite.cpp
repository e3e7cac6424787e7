#include "io/SafeWrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>

namespace morv {

namespace {

// ---- names ---------------------------------------------------------------------
//
// Temporaries:   .morv-PID-START-N             (N counts the process's temporaries)
// Aside records: .morv-PID-START-S-K-HASH-INODE-SIZE-MTIME.old   a hard link to a replaced file
//                .morv-PID-START-S-K-HASH-INODE-SIZE-MTIME.abs   an empty marker: the target was absent
// S counts the process's commits, K is the number of files in that commit, HASH
// names the target (FNV-1a of its full path); INODE, SIZE and MTIME (in
// nanoseconds) are the new file's, to tell it from the same file rewritten in place.
// Records of earlier versions lack SIZE and MTIME.
// PID and START (the process's start time in clock ticks since boot) say whether
// the owner still runs; the names stay short whatever the target's name.

constexpr const char* kPrefix = ".morv-";

std::atomic<unsigned long> g_tempCounter{0};
std::atomic<unsigned long> g_saveCounter{0};

/// The start time field of /proc/PID/stat, or nothing when the process is gone.
std::optional<std::string> processStart(long pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    char buf[1024];
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0) return std::nullopt;
    const std::string_view text(buf, std::size_t(n));
    // The command name in parentheses may hold blanks; fields count from the last ')'.
    std::size_t at = text.rfind(')');
    if (at == std::string_view::npos) return std::nullopt;
    int field = 2;  // the ')' ends field 2
    ++at;
    while (at < text.size() && field < 22) {
        while (at < text.size() && text[at] == ' ') ++at;
        ++field;
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (field == 22) return std::string(text.substr(at, end - at));
        at = end;
    }
    return std::nullopt;
}

/// "PID-START" of this process; computed again in a forked child.
std::string ownTag() {
    static std::mutex mutex;
    static long pid = 0;
    static std::string tag;
    std::lock_guard<std::mutex> lock(mutex);
    if (pid != long(::getpid())) {
        pid = long(::getpid());
        tag = std::to_string(pid) + "-" + processStart(pid).value_or("0");
    }
    return tag;
}

bool ownerGone(long pid, const std::string& start) {
    if (pid == long(::getpid())) return ownTag() != std::to_string(pid) + "-" + start;
    const auto now = processStart(pid);
    return !now || *now != start;
}

std::string hashName(const std::string& path) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : path) h = (h ^ c) * 1099511628211ull;
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

/// A parsed leftover name: a temporary (fields pid, start, n) or an aside record
/// (pid, start, save, count, hash, inode and its kind).
struct Leftover {
    long pid = 0;
    std::string start;
    bool record = false;
    std::string save, hash;
    std::size_t count = 0;
    unsigned long long inode = 0;
    std::optional<std::pair<unsigned long long, unsigned long long>> sizeAndTime;  // absent in old records
    bool wasAbsent = false;
};

std::optional<Leftover> parseLeftover(std::string_view name) {
    if (!name.starts_with(kPrefix)) return std::nullopt;
    name.remove_prefix(std::strlen(kPrefix));
    std::string_view kind;
    if (const auto dot = name.find('.'); dot != std::string_view::npos) {
        kind = name.substr(dot + 1);
        name = name.substr(0, dot);
        if (kind != "old" && kind != "abs") return std::nullopt;
    }
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (;;) {
        const std::size_t dash = name.find('-', at);
        fields.emplace_back(name.substr(at, dash == std::string_view::npos ? std::string_view::npos : dash - at));
        if (dash == std::string_view::npos) break;
        at = dash + 1;
    }
    // Numbers too big for their type make the name no leftover of ours (a stray
    // name in a shared folder must not stop every save into it).
    const auto number = [](const std::string& s, auto& out) {
        if (s.empty() || !std::isdigit(static_cast<unsigned char>(s[0]))) return false;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
        return ec == std::errc() && end == s.data() + s.size();
    };
    const auto hex = [](const std::string& s) {
        return !s.empty() && s.size() <= 16 && std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    };
    Leftover l;
    unsigned long long start = 0, n = 0, size = 0, time = 0;
    if (kind.empty() && fields.size() == 3 && number(fields[0], l.pid) && number(fields[1], start) && number(fields[2], n)) {
        l.start = fields[1];
        return l;
    }
    if (!kind.empty() && (fields.size() == 6 || fields.size() == 8) && number(fields[0], l.pid) && number(fields[1], start) &&
        number(fields[2], n) && number(fields[3], l.count) && hex(fields[4]) && number(fields[5], l.inode)) {
        if (fields.size() == 8) {
            if (!number(fields[6], size) || !number(fields[7], time)) return std::nullopt;
            l.sizeAndTime = std::pair(size, time);
        }
        l.start = fields[1];
        l.record = true;
        l.save = fields[2];
        l.hash = fields[4];
        l.wasAbsent = kind == "abs";
        return l;
    }
    return std::nullopt;
}

/// Whether name is a temporary of the versions before the owner went into the name:
/// ".NAME.morv-XXXXXX", six letters or digits from mkstemp. Their owner cannot be
/// told, so they are judged by age alone (see kOldStyleStaleAfter).
bool isOldStyleTemporary(std::string_view name) {
    constexpr std::string_view kTail = ".morv-";
    if (name.size() < 1 + 1 + kTail.size() + 6 || name[0] != '.') return false;
    const std::string_view random = name.substr(name.size() - 6);
    return name.substr(name.size() - 6 - kTail.size(), kTail.size()) == kTail &&
           std::all_of(random.begin(), random.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

/// Such a temporary was written in one go and renamed at once, or held while an error
/// box waited; none of that takes a day. Removing a live one early fails that
/// process's save (its rename finds nothing) but never touches a target.
constexpr time_t kOldStyleStaleAfter = 24 * 60 * 60;

/// Removes path when it is a regular file last written more than
/// kOldStyleStaleAfter ago.
void removeOldStyleTemporaryWhenStale(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    if (std::time(nullptr) - st.st_mtime > kOldStyleStaleAfter) ::unlink(path.c_str());
}

// ---- the table the signal handler clears -----------------------------------------

constexpr int kSlots = 64;
enum SlotState : int { Free = 0, Filling = 1, Armed = 2, Clearing = 3 };
struct Slot {
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};
Slot g_slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free);

std::atomic<int> g_committing{0};
std::atomic<int> g_pendingSignal{0};
// Every signal sent to end a process (not the faults of a bug: those leave their
// temporaries to the next save, which removes them as a dead owner's).
constexpr int kSignals[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1,
                            SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGIO,   SIGPWR};
constexpr int kSignalCount = int(sizeof kSignals / sizeof kSignals[0]);
struct sigaction g_previous[kSignalCount];

int claimSlot(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = Free;
        if (!g_slots[i].state.compare_exchange_strong(expected, Filling)) continue;
        std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
        g_slots[i].state.store(Armed);
        return i;
    }
    return -1;  // more temporaries at once than the table holds: these rely on destructors alone
}

void releaseSlot(int& slot) {
    if (slot < 0) return;
    int expected = Armed;
    g_slots[slot].state.compare_exchange_strong(expected, Free);
    slot = -1;
}

void onSignal(int sig) {
    const int savedErrno = errno;
    if (g_committing.load() > 0) {
        // A commit is a few system calls: it ends first, then the signal is raised again.
        g_pendingSignal.store(sig);
        errno = savedErrno;
        return;
    }
    removeStagedTemporaries();
    for (int i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == sig) ::sigaction(sig, &g_previous[i], nullptr);
    ::raise(sig);  // delivered with the previous disposition once this handler returns
    errno = savedErrno;
}

void installSignalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int i = 0; i < kSignalCount; ++i) {
            struct sigaction old {};
            if (::sigaction(kSignals[i], nullptr, &old) != 0) continue;
            // Only a signal that would end the process as it stands: one ignored
            // (nohup) stays ignored, one the program handles stays the program's.
            if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
            g_previous[i] = old;
            struct sigaction ours {};
            ours.sa_handler = onSignal;
            sigemptyset(&ours.sa_mask);
            ours.sa_flags = SA_RESTART;
            ::sigaction(kSignals[i], &ours, nullptr);
        }
        // A file-size limit (ulimit -f) would end the process in the middle of a
        // write, silently: ignored, the write fails with EFBIG and the save is
        // undone and reported like any other failed write.
        struct sigaction xfsz {};
        if (::sigaction(SIGXFSZ, nullptr, &xfsz) == 0 && !(xfsz.sa_flags & SA_SIGINFO) && xfsz.sa_handler == SIG_DFL) {
            xfsz.sa_handler = SIG_IGN;
            ::sigaction(SIGXFSZ, &xfsz, nullptr);
        }
        std::atexit([] { removeStagedTemporaries(); });
    });
}

/// Holds the signal handler back while a set of files is committed.
class CommitWindow {
public:
    CommitWindow() { g_committing.fetch_add(1); }
    ~CommitWindow() {
        if (g_committing.fetch_sub(1) == 1) {
            if (const int sig = g_pendingSignal.exchange(0)) ::raise(sig);
        }
    }
    CommitWindow(const CommitWindow&) = delete;
    CommitWindow& operator=(const CommitWindow&) = delete;
};

std::function<void(std::size_t)>& betweenCommitsHook() {
    static std::function<void(std::size_t)> hook;
    return hook;
}

std::function<void(const std::string&)>& repairNoticeHandler() {
    static std::function<void(const std::string&)> handler;
    return handler;
}

void repairNotice(const std::string& line) {
    if (const auto& handler = repairNoticeHandler()) handler(line);
    else std::fprintf(stderr, "%s\n", line.c_str());
}

CommitCalls& commitCalls() {
    static CommitCalls calls;
    return calls;
}

/// Calls a file system call again while a signal interrupts it.
template <class Call>
int retried(Call call) {
    int rc;
    while ((rc = call()) != 0 && errno == EINTR) {
    }
    return rc;
}

int doFdatasync(int fd) {
    const auto& f = commitCalls().fdatasync;
    return retried([&] { return f ? f(fd) : ::fdatasync(fd); });
}

int doFsync(int fd) {
    const auto& f = commitCalls().fsync;
    return retried([&] { return f ? f(fd) : ::fsync(fd); });
}

int doRename(const char* from, const char* to) {
    const auto& f = commitCalls().rename;
    return f ? f(from, to) : ::rename(from, to);
}

/// Whether a failed flush only says that this file or folder cannot be flushed
/// (some file systems have nothing to flush), which is no reason to fail a save.
bool flushUnsupported(int e) { return e == EINVAL || e == ENOSYS || e == EROFS; }

// ---- targets --------------------------------------------------------------------

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

RuntimeError accessError(const std::string& path, const std::string& reason) {
    return RuntimeError(err::PathFileAccess,
                        RuntimeError::standardDescription(err::PathFileAccess) + ": " + path + ": " + reason);
}

mode_t defaultMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

/// Whether this process may act as the owner of any file (CAP_FOWNER, as root has):
/// the sticky bit then does not stop it.
bool mayActAsOwner() {
    std::FILE* f = std::fopen("/proc/self/status", "re");
    if (!f) return ::geteuid() == 0;
    char line[256];
    unsigned long long caps = 0;
    bool found = false;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "CapEff: %llx", &caps) == 1) {
            found = true;
            break;
        }
    std::fclose(f);
    constexpr int kCapFowner = 3;
    return found ? (caps >> kCapFowner) & 1 : ::geteuid() == 0;
}

unsigned long long nanoseconds(const timespec& t) {
    return static_cast<unsigned long long>(t.tv_sec) * 1000000000ull + static_cast<unsigned long long>(t.tv_nsec);
}

/// A target as it will be written: the regular file it names (through symbolic
/// links), by its full path, and that file's state when it exists.
struct Resolved {
    std::string target;
    std::string final;
    bool exists = false;
    struct stat st {};
};

Resolved resolve(const std::string& target, Existing existing) {
    if (target.empty()) throw fileError(target, ENOENT);
    Resolved r;
    r.target = target;
    std::string path = target;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) throw fileError(target, errno);
            // A link to nothing is a name that exists: replaced only when allowed,
            // and then by writing the file it names.
            if (hops > 0 && existing == Existing::Refuse) throw TargetExists(target);
            break;
        }
        if (S_ISLNK(st.st_mode)) {
            if (hops >= 40) throw fileError(target, ELOOP);
            std::string link(std::size_t(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
            const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
            if (n < 0) throw fileError(target, errno);
            link.resize(std::size_t(n));
            path = link.starts_with('/') ? link : folderOf(path) + "/" + link;
            continue;
        }
        if (!S_ISREG(st.st_mode)) throw accessError(target, notRegularFileReason(st.st_mode));
        r.exists = true;
        r.st = st;
        break;
    }
    const std::string folder = folderOf(path);
    struct stat fst {};
    if (::stat(folder.c_str(), &fst) != 0) throw fileError(target, errno);
    if (!S_ISDIR(fst.st_mode)) throw fileError(target, ENOTDIR);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) throw fileError(target, errno);
    char real[PATH_MAX];
    if (!::realpath(folder.c_str(), real)) throw fileError(target, errno);
    r.final = std::string(real) + (std::strcmp(real, "/") == 0 ? "" : "/") + nameOf(path);
    if (r.exists) {
        if (existing == Existing::Refuse) throw TargetExists(target);
        // A file its owner marked read-only is not replaced behind their back.
        if (::access(path.c_str(), W_OK) != 0) throw fileError(target, errno);
        // In a shared folder with the sticky bit (/tmp and the like) only the owner
        // of a file (or of the folder) may rename over it: the commit would fail at
        // its rename, after the aside link it could then not remove. Told now.
        if ((fst.st_mode & S_ISVTX) && r.st.st_uid != ::geteuid() && fst.st_uid != ::geteuid() && !mayActAsOwner())
            throw accessError(target, "another user's file in a shared folder (sticky bit set): only its owner may replace it");
    }
    return r;
}

/// Exclusive locks on folders (flock on the folder itself), taken in name order:
/// commits and repairs in one folder take turns, across processes too.
class FolderLocks {
public:
    explicit FolderLocks(const std::vector<std::string>& finals) {
        std::set<std::string> folders;
        for (const auto& f : finals) folders.insert(folderOf(f));
        for (const auto& folder : folders) {
            const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) continue;  // the commit itself will report the folder's problem
            while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
            m_fds.push_back(fd);
        }
    }
    ~FolderLocks() {
        for (int fd : m_fds) ::close(fd);
    }
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;

    /// Flushes each folder's entries (the renames made in it) to the disk; throws
    /// RuntimeError naming target when the disk reports an error.
    void flush(const std::string& target) const {
        for (int fd : m_fds)
            if (doFsync(fd) != 0 && !flushUnsupported(errno)) throw fileError(target, errno);
    }

private:
    std::vector<int> m_fds;
};

/// A free name beside path for a file moved aside: "h.rewritten.bmp", then
/// "h.rewritten-2.bmp" and so on. Made as a hard link to path (which stays), so that
/// nothing already there is replaced; empty when no such link can be made.
std::string linkAside(const std::string& path) {
    const std::string folder = folderOf(path), name = nameOf(path);
    const auto dot = name.find_last_of('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = stem.size() == name.size() ? "" : name.substr(dot);
    for (int n = 1; n < 1000; ++n) {
        std::string aside = folder + "/" + stem + ".rewritten";
        if (n > 1) aside.append(1, '-').append(std::to_string(n));
        aside += ext;
        if (::link(path.c_str(), aside.c_str()) == 0) return aside;
        if (errno != EEXIST) break;
    }
    return {};
}

/// Removes the leftovers of dead owners in the targets' folders: temporaries at
/// once (those of earlier versions once a day old); aside records once their
/// commit is judged, whichever names it wrote. A commit killed after some but not
/// all of its renames left a torn set: each target it replaced gets its old file
/// back (or is removed, when it was absent before). A target that still is the
/// file the commit wrote but was rewritten in place since (other size or time) is
/// the user's work: it is first linked aside under a name the notice tells.
void repairLeftovers(const std::vector<Resolved>& targets) {
    std::set<std::string> folders;
    for (const auto& t : targets) folders.insert(folderOf(t.final));
    struct Member {
        std::string recordPath;
        Leftover info;
    };
    std::map<std::tuple<long, std::string, std::string>, std::vector<Member>> groups;
    std::map<std::string, std::string> byHash;  // every other name in the folders, by its record hash
    for (const auto& folder : folders) {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) continue;
        while (const dirent* e = ::readdir(dir)) {
            const std::string path = folder + "/" + e->d_name;
            if (isOldStyleTemporary(e->d_name)) {
                removeOldStyleTemporaryWhenStale(path);
                continue;
            }
            const auto l = parseLeftover(e->d_name);
            if (!l) {
                byHash[hashName(path)] = path;
                continue;
            }
            if (!ownerGone(l->pid, l->start)) continue;
            if (!l->record) ::unlink(path.c_str());
            else groups[{l->pid, l->start, l->save}].push_back({path, *l});
        }
        ::closedir(dir);
    }
    for (auto& [key, members] : groups) {
        // Records are all made before the first rename and dropped after the last:
        // the targets of a set killed before its renames all hold their old files,
        // those of one killed after them all hold the new ones; only a mix of new
        // files and old ones still in place is torn. A target changed since (neither
        // the file the save wrote nor the one it replaced) proves nothing, so a set
        // whose renames all happened is never rolled back for it.
        // (A set across folders is judged by the records in these folders.)
        std::vector<std::string> finals;
        std::vector<struct stat> states;
        std::size_t replaced = 0, stillOld = 0;
        for (const auto& m : members) {
            const auto found = byHash.find(m.info.hash);
            struct stat st {};
            const bool present = found != byHash.end() && ::lstat(found->second.c_str(), &st) == 0;
            const bool isNew = present && S_ISREG(st.st_mode) && st.st_ino == m.info.inode;
            struct stat old {};
            const bool isOld = m.info.wasAbsent ? !present
                                                : present && ::lstat(m.recordPath.c_str(), &old) == 0 &&
                                                      old.st_ino == st.st_ino && old.st_dev == st.st_dev;
            finals.push_back(isNew ? found->second : std::string());
            states.push_back(st);
            replaced += isNew;
            stillOld += isOld;
        }
        if (replaced > 0 && stillOld > 0) {
            for (std::size_t i = 0; i < members.size(); ++i) {
                if (finals[i].empty()) continue;
                const Leftover& info = members[i].info;
                const struct stat& st = states[i];
                const bool rewritten =
                    info.sizeAndTime && (info.sizeAndTime->first != static_cast<unsigned long long>(st.st_size) ||
                                         info.sizeAndTime->second != nanoseconds(st.st_mtim));
                if (rewritten) {
                    const std::string aside = linkAside(finals[i]);
                    if (aside.empty()) continue;  // the user's file stays where it is
                    repairNotice(finals[i] + " was rewritten after a save to it was killed: kept as " + aside +
                                 "; the file from before that save is back");
                }
                if (info.wasAbsent) ::unlink(finals[i].c_str());
                else doRename(members[i].recordPath.c_str(), finals[i].c_str());
            }
        }
        for (const auto& m : members) ::unlink(m.recordPath.c_str());
    }
}

std::vector<Resolved> resolveAll(const std::vector<std::string>& targets, Existing existing) {
    // Leftovers are judged first, under the folders' locks, so that a pair a killed
    // save tore is whole again before it is looked at.
    std::vector<Resolved> loose;
    for (const auto& t : targets) {
        try {
            loose.push_back(resolve(t, Existing::Replace));
        } catch (const RuntimeError&) {
            // Reported below, by the check that counts.
        }
    }
    {
        std::vector<std::string> finals;
        for (const auto& r : loose) finals.push_back(r.final);
        FolderLocks locks(finals);
        repairLeftovers(loose);
    }
    std::vector<Resolved> out;
    for (const auto& t : targets) out.push_back(resolve(t, existing));
    for (std::size_t i = 0; i < out.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (out[i].final == out[j].final)
                throw accessError(out[i].target, "the same file as " + out[j].target + ", written twice in one save");
    return out;
}

}  // namespace

std::string notRegularFileReason(mode_t mode) {
    const char* kind = S_ISDIR(mode)                    ? "a folder"
                       : S_ISFIFO(mode)                 ? "a FIFO"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "something else";
    return std::string("not a regular file (it is ") + kind + ")";
}

TargetExists::TargetExists(const std::string& path)
    : RuntimeError(err::PathFileAccess, RuntimeError::standardDescription(err::PathFileAccess) + ": " + path +
                                            ": " + std::strerror(EEXIST)),
      m_path(path) {}

StagedFile::StagedFile(std::string target, Existing existing)
    : StagedFile(target, resolveAll({target}, existing).front().final, existing) {}

StagedFile::StagedFile(std::string target, std::string final, Existing existing)
    : m_target(std::move(target)), m_final(std::move(final)), m_existing(existing) {
    installSignalHandlers();
    struct stat old {};
    const bool replacing = ::stat(m_final.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const std::string folder = folderOf(m_final);
    for (int attempt = 0; m_fd < 0; ++attempt) {
        m_temp = folder + "/" + kPrefix + ownTag() + "-" + std::to_string(g_tempCounter.fetch_add(1));
        m_slot = claimSlot(m_temp);
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (m_fd >= 0) break;
        const int e = errno;
        releaseSlot(m_slot);
        m_temp.clear();
        if (e != EEXIST || attempt > 100) throw fileError(m_target, e);
    }
    if (replacing) {
        // The replaced file's owner first: changing the owner clears set-id bits.
        if (::fchown(m_fd, old.st_uid, old.st_gid) != 0 && old.st_gid != ::getegid()) {
            // Not ours to give away: the new file belongs to whoever saves it.
        }
        ::fchmod(m_fd, old.st_mode & 07777);
    } else {
        ::fchmod(m_fd, defaultMode());
    }
}

StagedFile::StagedFile(StagedFile&& o) noexcept
    : m_target(std::move(o.m_target)), m_final(std::move(o.m_final)), m_temp(std::move(o.m_temp)),
      m_existing(o.m_existing), m_fd(o.m_fd), m_slot(o.m_slot), m_inode(o.m_inode), m_size(o.m_size),
      m_mtime(o.m_mtime), m_committed(o.m_committed) {
    o.m_fd = -1;
    o.m_slot = -1;
    o.m_temp.clear();
    o.m_committed = true;
}

StagedFile::~StagedFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_committed && !m_temp.empty()) ::unlink(m_temp.c_str());
    releaseSlot(m_slot);
}

void StagedFile::write(const void* data, std::size_t size) {
    if (m_fd < 0) throw accessError(m_target, "already closed");
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
    // The data goes to the disk before the file is renamed over anything: the
    // rename may reach the disk first, and a power cut then leaves an empty file
    // under the old name. Started without waiting first, so that files finished
    // together are written out together.
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    if (doFdatasync(fd) != 0 && !flushUnsupported(errno)) {
        const int e = errno;
        ::close(fd);
        throw fileError(m_target, e);
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        m_inode = st.st_ino;
        m_size = st.st_size;
        m_mtime = static_cast<long long>(nanoseconds(st.st_mtim));
    }
    if (::close(fd) != 0) throw fileError(m_target, errno);
}

void StagedFile::commit() {
    StagedFile* self = this;
    commitStaged(&self, 1);
}

void commitStaged(StagedFile* const* files, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (files[i]->m_fd >= 0) ::sync_file_range(files[i]->m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    for (std::size_t i = 0; i < count; ++i) files[i]->finish();
    std::vector<std::string> finals;
    for (std::size_t i = 0; i < count; ++i) finals.push_back(files[i]->m_final);
    FolderLocks locks(finals);
    CommitWindow window;

    const std::string save = std::to_string(g_saveCounter.fetch_add(1));
    std::vector<std::string> records(count);
    std::vector<bool> hadOld(count, false), committed(count, false);
    auto dropRecords = [&] {
        for (auto& r : records)
            if (!r.empty()) ::unlink(r.c_str()), r.clear();
    };
    try {
        bool linked = true;
        for (std::size_t i = 0; i < count; ++i) {
            const StagedFile& f = *files[i];
            struct stat st {};
            if (::lstat(f.m_final.c_str(), &st) == 0) {
                // Made meanwhile into something no save may replace.
                if (!S_ISREG(st.st_mode)) throw accessError(f.m_target, notRegularFileReason(st.st_mode));
                if (f.m_existing == Existing::Refuse) throw TargetExists(f.m_target);
                hadOld[i] = true;
            }
            const std::string record = folderOf(f.m_final) + "/" + kPrefix + ownTag() + "-" + save + "-" +
                                       std::to_string(count) + "-" + hashName(f.m_final) + "-" +
                                       std::to_string(static_cast<unsigned long long>(f.m_inode)) + "-" +
                                       std::to_string(f.m_size) + "-" + std::to_string(f.m_mtime) +
                                       (hadOld[i] ? ".old" : ".abs");
            if (hadOld[i]) {
                linked = linked && ::link(f.m_final.c_str(), record.c_str()) == 0;
            } else {
                const int fd = ::open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                linked = linked && fd >= 0;
                if (fd >= 0) ::close(fd);
            }
            if (!linked) break;
            records[i] = record;
        }
        // Without hard links (some file systems have none) the set goes without
        // records: the renames then free the old blocks and a kill cannot be repaired.
        if (!linked) dropRecords();

        for (std::size_t i = 0; i < count; ++i) {
            StagedFile& f = *files[i];
            if (i > 0 && betweenCommitsHook()) betweenCommitsHook()(i);
            if (f.m_existing == Existing::Replace) {
                if (doRename(f.m_temp.c_str(), f.m_final.c_str()) != 0) throw fileError(f.m_target, errno);
            } else {
                // link(2) fails when the name exists: "exists" is decided here, atomically.
                if (::link(f.m_temp.c_str(), f.m_final.c_str()) != 0) {
                    if (errno == EEXIST) throw TargetExists(f.m_target);
                    throw fileError(f.m_target, errno);
                }
                ::unlink(f.m_temp.c_str());
            }
            f.m_committed = true;
            committed[i] = true;
            releaseSlot(f.m_slot);
        }
        if (count > 0 && betweenCommitsHook()) betweenCommitsHook()(count);
        // The renames reach the disk while the records can still undo them.
        locks.flush(files[0]->m_target);
        dropRecords();
    } catch (...) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!committed[i]) continue;
            const StagedFile& f = *files[i];
            if (hadOld[i] && !records[i].empty()) {
                if (::rename(records[i].c_str(), f.m_final.c_str()) == 0) records[i].clear();
            } else if (!hadOld[i]) {
                struct stat st {};
                if (::lstat(f.m_final.c_str(), &st) == 0 && st.st_ino == f.m_inode) ::unlink(f.m_final.c_str());
            }
        }
        dropRecords();
        throw;
    }
}

void checkTargets(const std::vector<std::string>& targets, Existing existing) { resolveAll(targets, existing); }

std::vector<StagedFile> stageFiles(const std::vector<std::string>& targets, Existing existing) {
    const std::vector<Resolved> resolved = resolveAll(targets, existing);
    std::vector<StagedFile> staged;
    staged.reserve(targets.size());
    for (const auto& r : resolved) staged.push_back(StagedFile(r.target, r.final, existing));
    return staged;
}

void commitAll(std::vector<StagedFile>& files) {
    std::vector<StagedFile*> set;
    for (auto& f : files) set.push_back(&f);
    commitStaged(set.data(), set.size());
}

void writeFilesSafely(const std::vector<FileContent>& files, Existing existing) {
    std::vector<std::string> targets;
    for (const auto& f : files) targets.push_back(f.path);
    std::vector<StagedFile> staged = stageFiles(targets, existing);
    for (std::size_t i = 0; i < files.size(); ++i) staged[i].write(files[i].bytes);
    commitAll(staged);
}

void removeStagedTemporaries() noexcept {
    for (auto& slot : g_slots) {
        int expected = Armed;
        if (!slot.state.compare_exchange_strong(expected, Clearing)) continue;
        ::unlink(slot.path);
        slot.state.store(Free);
    }
}

void setBetweenCommitsHookForTests(std::function<void(std::size_t)> hook) { betweenCommitsHook() = std::move(hook); }

void setRepairNoticeHandler(std::function<void(const std::string& line)> handler) {
    repairNoticeHandler() = std::move(handler);
}

void setCommitCallsForTests(CommitCalls calls) { commitCalls() = std::move(calls); }

}  // namespace morv
