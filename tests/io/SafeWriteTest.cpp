#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>

#include "core/RuntimeError.h"
#include "io/SafeWrite.h"
#include "io/ImageIO.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

namespace fs = std::filesystem;

const auto bmpBytes = test::bmp24Bytes;
const auto put = test::writeBytes;

/// Everything under a folder: names with their kind, mode, owner and content (or
/// link text), to tell "nothing changed" exactly.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        std::string v = std::to_string(st.st_mode) + "/" + std::to_string(st.st_uid) + "/" + std::to_string(st.st_ino) + ":";
        if (S_ISREG(st.st_mode)) v += test::readFile(e.path());
        if (S_ISLNK(st.st_mode)) v += fs::read_symlink(e.path()).string();
        out[fs::relative(e.path(), dir).string()] = v;
    }
    return out;
}

/// Names the writer leaves only while it works (temporaries and aside links).
int leftovers(const fs::path& dir) {
    int n = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) n += e.path().filename().string().rfind(".morv-", 0) == 0;
    return n;
}

/// The error number of a pair save, 0 when it succeeded.
int savePair(const HeightImage& h, const std::string& hp, const HeightImage& c, const std::string& cp, Existing e) {
    const std::string r = test::refusalOf([&] { savePictureFiles({{&h, hp}, {&c, cp}}, e); });
    return r == "none" ? 0 : std::stoi(r);
}

TEST(SafeWrite, EveryKindOfTargetIsCheckedBeforeAnyIsTouched) {
    const HeightImage small(8, 8, 10), big(1024, 1024, 20);  // the big one needs 3 MiB
    const std::string name250(246, 'n');                       // + ".bmp" = 250 bytes; its contour 252
    using Setup = std::function<void(const std::string& dir)>;
    struct Row { const char* what; Setup setup; Existing existing; int error; bool unprivileged = false;  // error 0: written
                 std::string height = "h.bmp", contour = "hCL.bmp"; const HeightImage* picture = nullptr; };
    const Setup none = [](const std::string&) {};
    const Setup oldPair = [](const std::string& d) { put(d + "/h.bmp", "old height"), put(d + "/hCL.bmp", "old contour"); };
    // The old pair, its contour replaced by what make puts at the contour's path.
    auto contourAs = [&](const Setup& make) { return Setup([=](const std::string& d) { oldPair(d), fs::remove(d + "/hCL.bmp"), make(d + "/hCL.bmp"); }); };
    const Existing refuse = Existing::Refuse, replace = Existing::Replace;
    const int denied = err::PathFileAccess;
    const Row rows[] = {
        {"absent pair", none, refuse, 0},
        {"old pair replaced", oldPair, replace, 0},
        {"old pair without force", oldPair, refuse, denied},
        {"folder at the height", [](const std::string& d) { fs::create_directory(d + "/h.bmp"); }, replace, denied},
        {"folder at the contour", contourAs([](const std::string& p) { fs::create_directory(p); }), replace, denied},
        {"device at the height", [](const std::string& d) { ASSERT_EQ(::mknod((d + "/h.bmp").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0); },
         replace, denied},
        {"FIFO at the contour", contourAs([](const std::string& p) { ::mkfifo(p.c_str(), 0666); }), replace, denied},
        {"socket at the contour", [](const std::string& d) {
             sockaddr_un a{};
             a.sun_family = AF_UNIX;
             const std::string p = d + "/hCL.bmp";
             ASSERT_LT(p.size(), sizeof a.sun_path);
             std::memcpy(a.sun_path, p.c_str(), p.size() + 1);
             const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
             ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
             ::close(s);
         }, replace, denied},
        {"links written through", [&](const std::string& d) {
             oldPair(d), fs::create_directory(d + "/real"), fs::rename(d + "/h.bmp", d + "/real/h.bmp");
             fs::create_symlink("real/h.bmp", d + "/h.bmp");
         }, replace, 0},
        {"link to nothing without force", [](const std::string& d) { fs::create_symlink("gone.bmp", d + "/h.bmp"); }, refuse, denied},
        {"link to nothing with force", [](const std::string& d) { fs::create_symlink("made.bmp", d + "/h.bmp"); }, replace, 0},
        {"both names one file", contourAs([](const std::string& p) { fs::create_symlink("h.bmp", p); }), replace, denied},
        {"names of 250 bytes", none, refuse, 0, false, name250 + ".bmp", name250 + "CL.bmp"},
        {"full disk", [&](const std::string& d) {
             fs::create_directory(d + "/small");
             if (::mount("tmpfs", (d + "/small").c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "cannot mount a small tmpfs";
             put(d + "/small/h.bmp", "old height"), put(d + "/small/hCL.bmp", "old contour");
         }, replace, err::DiskFull, false, "small/h.bmp", "small/hCL.bmp", &big},
        {"read-only file", [&](const std::string& d) { oldPair(d), ::chmod((d + "/hCL.bmp").c_str(), 0444); }, replace, denied, true},
        {"read-only folder", [&](const std::string& d) { oldPair(d), ::chmod(d.c_str(), 0555); }, replace, denied, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        test::TempDir tmp;
        const std::string d = tmp.file("work");
        fs::create_directory(d);
        struct Unmount { std::string at; ~Unmount() { ::umount(at.c_str()); } } unmount{d + "/small"};
        row.setup(d);
        if (::testing::Test::IsSkipped()) continue;
        const HeightImage& picture = row.picture ? *row.picture : small;
        const std::string hp = d + "/" + row.height, cp = d + "/" + row.contour;
        if (row.unprivileged) {
            ASSERT_EQ(::chown(d.c_str(), 65534, 65534), 0);
            for (const auto& e : fs::directory_iterator(d)) ASSERT_EQ(::lchown(e.path().c_str(), 65534, 65534), 0);
            ::chmod(tmp.path().c_str(), 0755);
        }
        const auto before = snapshot(d);
        const bool wasLink = fs::is_symlink(hp);
        const std::string linkText = wasLink ? fs::read_symlink(hp).string() : "";
        const int error = row.unprivileged ? test::asUnprivilegedUser([&] { return savePair(picture, hp, small, cp, row.existing); })
                                           : savePair(picture, hp, small, cp, row.existing);
        ::chmod(d.c_str(), 0755);
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(leftovers(d), 0);
        if (row.error) {
            EXPECT_EQ(snapshot(d), before) << "a failed save changed something";
            continue;
        }
        EXPECT_EQ(test::readFile(hp), bmpBytes(picture));
        EXPECT_EQ(test::readFile(cp), bmpBytes(small));
        if (wasLink) {
            EXPECT_TRUE(fs::is_symlink(hp)) << "the link stays a link";
            EXPECT_EQ(fs::read_symlink(hp).string(), linkText);
        }
    }
}

TEST(SafeWrite, AReplacedFileKeepsItsOwnerAndMode) {
    test::TempDir dir;
    const std::string p = dir.file("h.bmp");
    put(p, "old");
    ASSERT_EQ(::chown(p.c_str(), 4321, 4322), 0);
    ASSERT_EQ(::chmod(p.c_str(), 0640), 0);
    const std::string second = dir.file("other-name.bmp");
    ASSERT_EQ(::link(p.c_str(), second.c_str()), 0);
    savePictureFile(HeightImage(2, 2, 5), p);
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
    // A hard link is a name of its own: the save replaces the name it was given.
    EXPECT_EQ(test::readFile(second), "old");
}

TEST(SafeWrite, ANewPairTornByAKillIsRolledBackByTheNextSave) {
    // Over an old pair: AFileRewrittenInPlaceAfterATearIsMovedAside.
    const HeightImage newH(4, 4, 3), newC(4, 4, 4);
    test::TempDir dir;
    const std::string h = dir.file("h.bmp"), c = dir.file("hCL.bmp");
    test::inChild([&] {  // dies between its two commits, as under kill -9
        setBetweenCommitsHookForTests([](std::size_t) { ::_exit(0); });
        savePictureFiles({{&newH, h}, {&newC, c}});
    });
    ASSERT_EQ(test::readFile(h), bmpBytes(newH)) << "the kill came after the first commit";
    ASSERT_GT(leftovers(dir.path()), 0);
    // The half-made pair is removed first, so that a refusing save finds no target.
    EXPECT_EQ(savePair(newH, h, newC, c, Existing::Refuse), 0);
    EXPECT_EQ(test::readFile(c), bmpBytes(newC));
    EXPECT_EQ(leftovers(dir.path()), 0);
}

TEST(SafeWrite, TemporariesGoOnSignalsAndStaleOnesWithTheNextSave) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGALRM}) {
        SCOPED_TRACE(sig);
        test::TempDir dir;
        const int status = test::inChild([&] {
            const rlimit noCore{0, 0};  // SIGQUIT would leave a core file
            ::setrlimit(RLIMIT_CORE, &noCore);
            StagedFile f(dir.file("a.bmp"));
            f.write("partial");
            ::raise(sig);
        });
        EXPECT_TRUE(WIFSIGNALED(status)) << "the signal still ends the process";
        EXPECT_EQ(WTERMSIG(status), sig) << "the signal still ends the process";
        EXPECT_EQ(leftovers(dir.path()), 0);
    }
    test::TempDir dir;
    test::inChild([&] {
        StagedFile f(dir.file("a.bmp"));
        f.write("partial");
        ::_exit(0);  // as kill -9: no handler, no destructor
    });
    ASSERT_EQ(leftovers(dir.path()), 1);
    StagedFile mine(dir.file("b.bmp"));  // a live owner's temporary is kept
    savePictureFile(HeightImage(1, 1), dir.file("c.bmp"));
    EXPECT_EQ(leftovers(dir.path()), 1) << "only this process's own temporary is left";
    removeStagedTemporaries();  // what the window's exit paths do
    EXPECT_EQ(leftovers(dir.path()), 0);
}

TEST(SafeWrite, TemporariesOfEarlierVersionsGoOnlyOnceADayOld) {
    // Their names hold no owner: age alone tells a dead one from one being written.
    constexpr long kHour = 60 * 60;
    struct Case { const char* name; long ageSeconds; bool isFolder, removed; };
    const Case cases[] = {
        {".out.bmp.morv-a1B2c3", 25 * kHour, false, true},
        {".other name.png.morv-ZZZZZZ", 48 * kHour, false, true},  // any save's, in the folder saved to
        {".out.bmp.morv-b7Kp2Q", 23 * kHour, false, false},        // may belong to a save still running
        {".out.bmp.morv-Qx81e0", 1, false, false},
        {".out.bmp.morv-a1B2c", 48 * kHour, false, false},         // not six characters
        {".out.bmp.morv-a1B_c3", 48 * kHour, false, false},
        {"out.bmp.morv-a1B2c3", 48 * kHour, false, false},         // not hidden: the user's own
        {".morv-a1B2c3", 48 * kHour, false, false},
        {".dir.morv-a1B2c3", 48 * kHour, true, false},
        // Named like this version's leftovers, with numbers too big to be one: not ours
        {".morv-99999999999999999999-1-1", 48 * kHour, false, false},
        {".morv-1-1-1-2-00ff-99999999999999999999.old", 48 * kHour, false, false},
    };
    test::TempDir dir;
    const std::time_t now = std::time(nullptr);
    for (const Case& c : cases) {
        const std::string path = dir.file(c.name);
        if (c.isFolder) fs::create_directory(path);
        else put(path, "old temporary");
        const timespec times[2] = {{now - c.ageSeconds, 0}, {now - c.ageSeconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    savePictureFile(HeightImage(1, 1), dir.file("out.bmp"));
    for (const Case& c : cases) EXPECT_EQ(fs::exists(dir.file(c.name)), !c.removed) << c.name;
}

TEST(SafeWrite, ConcurrentWritersNeverMixAPair) {
    test::TempDir dir;
    const std::string h = dir.file("h.bmp"), c = dir.file("hCL.bmp");
    constexpr int kWriters = 6;
    for (const Existing existing : {Existing::Refuse, Existing::Replace}) {
        std::vector<pid_t> pids;
        for (int w = 0; w < kWriters; ++w) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                const HeightImage mine(64, 64, std::uint8_t(w + 1));
                int failures = 0;
                for (int i = 0; i < (existing == Existing::Replace ? 10 : 1); ++i) failures += savePair(mine, h, mine, c, existing) != 0;
                ::_exit(failures);
            }
            pids.push_back(pid);
        }
        int succeeded = 0;
        for (pid_t pid : pids) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            succeeded += WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        EXPECT_EQ(succeeded, existing == Existing::Refuse ? 1 : kWriters);
        EXPECT_EQ(test::readFile(h), test::readFile(c)) << "both files come from one writer";
        EXPECT_EQ(leftovers(dir.path()), 0);
    }
}

/// The file an open descriptor names, by its name alone.
std::string nameOfFd(int fd) { return fs::read_symlink("/proc/self/fd/" + std::to_string(fd)).filename().string(); }

/// Records the commit's flushes and renames in order (saves write on threads).
class CallRecorder {
public:
    explicit CallRecorder(int failingFlush = 0, int failingFolderFlush = 0) {
        CommitCalls calls;
        calls.fdatasync = [this, failingFlush](int fd) { return note("fdatasync " + nameOfFd(fd), failingFlush) ? ::fdatasync(fd) : -1; };
        calls.fsync = [this, failingFolderFlush](int fd) { return note("fsync " + nameOfFd(fd), failingFolderFlush) ? ::fsync(fd) : -1; };
        calls.rename = [this](const char* from, const char* to) {
            note("rename " + fs::path(from).filename().string() + " " + fs::path(to).filename().string(), 0);
            return ::rename(from, to);
        };
        setCommitCallsForTests(calls);
    }
    ~CallRecorder() { setCommitCallsForTests({}); }
    std::vector<std::string> calls() { std::lock_guard lock(m_mutex); return m_calls; }

private:
    /// Records a call; false (errno set) when it is to fail.
    bool note(const std::string& call, int failWith) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(call);
        errno = failWith;
        return failWith == 0;
    }
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

TEST(SafeWrite, DataReachesTheDiskBeforeTheRenamesFolderAfter) {
    test::TempDir dir;
    const std::string h = dir.file("h.bmp"), c = dir.file("hCL.bmp");
    const HeightImage oldH(4, 4, 1), newH(4, 4, 3), newC(4, 4, 4);
    savePictureFiles({{&oldH, h}, {&oldH, c}});
    CallRecorder recorder;
    ASSERT_EQ(savePair(newH, h, newC, c, Existing::Replace), 0);
    const auto calls = recorder.calls();
    std::vector<std::size_t> flushes, renames, folderFlushes;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].starts_with("fdatasync .morv-")) flushes.push_back(i);
        if (calls[i].starts_with("rename .morv-")) renames.push_back(i);
        if (calls[i] == "fsync " + dir.path().filename().string()) folderFlushes.push_back(i);
    }
    ASSERT_EQ(flushes.size(), 2u) << "each staged file is flushed";
    ASSERT_EQ(renames.size(), 2u);
    ASSERT_EQ(folderFlushes.size(), 1u) << "one folder, flushed once";
    EXPECT_LT(flushes.back(), renames.front()) << "every file is on the disk before the first rename";
    EXPECT_GT(folderFlushes.front(), renames.back()) << "the renames are flushed after the last one";
    EXPECT_EQ(test::readFile(h), bmpBytes(newH));
}

TEST(SafeWrite, AFailedFlushFailsTheSaveAndKeepsTheOldPair) {
    const HeightImage oldH(4, 4, 1), oldC(4, 4, 2), newH(4, 4, 3), newC(4, 4, 4);
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "the folder" : "a file");
        test::TempDir dir;
        const std::string h = dir.file("h.bmp"), c = dir.file("hCL.bmp");
        savePictureFiles({{&oldH, h}, {&oldC, c}});
        {
            CallRecorder failing(folder ? 0 : EIO, folder ? EIO : 0);
            EXPECT_EQ(savePair(newH, h, newC, c, Existing::Replace), err::PathFileAccess);
        }
        EXPECT_EQ(test::readFile(h), bmpBytes(oldH));
        EXPECT_EQ(test::readFile(c), bmpBytes(oldC));
        EXPECT_EQ(leftovers(dir.path()), 0);
    }
}

TEST(SafeWrite, AnotherUsersFileInAStickyFolderIsRefusedUntouched) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
    if (test::asUnprivilegedUser([] { return 0; }) < 0) GTEST_SKIP() << "cannot drop to an unprivileged user";
    const HeightImage pic(4, 4, 9);
    // owner: of the old pair; unprivileged: the saver is 65534, else root (who may act as any owner)
    struct Case { const char* what; uid_t owner; bool unprivileged, refused; };
    for (const Case& k : {Case{"another user's pair", 0, true, true}, Case{"the saver's own pair", 65534, true, false},
                          Case{"root over another user's pair", 65534, false, false}}) {
        SCOPED_TRACE(k.what);
        test::TempDir tmp;
        const std::string shared = tmp.file("shared");
        fs::create_directory(shared);
        ASSERT_EQ(::chown(shared.c_str(), 4321, 4321), 0);  // a folder of a third user, as /tmp is root's
        ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
        const std::string h = shared + "/h.bmp", c = shared + "/hCL.bmp";
        for (const auto& p : {h, c}) {
            put(p, "old");
            ASSERT_EQ(::chown(p.c_str(), k.owner, k.owner), 0);
            ASSERT_EQ(::chmod(p.c_str(), 0666), 0);
        }
        const auto before = snapshot(shared);
        // 0: saved; 1: refused for the sticky bit, with the whole message; 2: anything else.
        auto save = [&] {
            const std::string r = test::refusalOf([&] { savePictureFiles({{&pic, h}, {&pic, c}}, Existing::Replace); });
            return r == "none" ? 0 : r == std::to_string(err::PathFileAccess) + ": Path/File access error: " + h +
                   ": another user's file in a shared folder (sticky bit set): only its owner may replace it" ? 1 : 2;
        };
        EXPECT_EQ(k.unprivileged ? test::asUnprivilegedUser(save) : save(), k.refused ? 1 : 0);  // -1: the child crashed
        if (!k.refused) EXPECT_EQ(test::readFile(h), bmpBytes(pic));
        else EXPECT_EQ(snapshot(shared), before) << "nothing made, nothing left that its maker cannot remove";
    }
}

TEST(SafeWrite, AFileRewrittenInPlaceAfterATearIsMovedAside) {
    const HeightImage oldH(4, 4, 1), oldC(4, 4, 2), newH(4, 4, 3), newC(4, 4, 4);
    // rewrite: the user's bytes, written into the same file ("" leaves it); olderTime: the
    // rewrite gets an older time, else the torn file's own
    struct Case { const char* what; std::string rewrite; bool olderTime; };
    const Case cases[] = {
        {"untouched", "", false},
        {"rewritten, other size", "the user's own height map", false},
        {"rewritten, same size", bmpBytes(HeightImage(4, 4, 77)), true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        test::TempDir dir;
        const std::string h = dir.file("h.bmp"), c = dir.file("hCL.bmp"), aside = dir.file("h.rewritten.bmp");
        savePictureFiles({{&oldH, h}, {&oldC, c}});
        test::inChild([&] {
            setBetweenCommitsHookForTests([](std::size_t) { ::_exit(0); });
            savePictureFiles({{&newH, h}, {&newC, c}});
        });
        struct stat torn {};
        ASSERT_EQ(::stat(h.c_str(), &torn), 0);
        if (!k.rewrite.empty()) {
            std::ofstream(h, std::ios::binary | std::ios::trunc) << k.rewrite;  // as cp does: the same inode
            // Times set by hand, so that size alone or time alone tells each case.
            const timespec older{torn.st_mtim.tv_sec - 3600, 0};
            const timespec times[2] = {k.olderTime ? older : torn.st_mtim, k.olderTime ? older : torn.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, h.c_str(), times, 0), 0);
            struct stat now {};
            ASSERT_EQ(::stat(h.c_str(), &now), 0);
            ASSERT_EQ(now.st_ino, torn.st_ino);
        }
        std::vector<std::string> notices;
        setRepairNoticeHandler([&](const std::string& line) { notices.push_back(line); });
        EXPECT_EQ(savePair(newH, h, newC, c, Existing::Refuse), err::PathFileAccess);
        setRepairNoticeHandler({});
        EXPECT_EQ(test::readFile(h), bmpBytes(oldH)) << "the pair is whole again";
        EXPECT_EQ(test::readFile(c), bmpBytes(oldC));
        EXPECT_EQ(leftovers(dir.path()), 0);
        if (k.rewrite.empty()) {
            EXPECT_FALSE(fs::exists(aside));
            EXPECT_TRUE(notices.empty());
            continue;
        }
        EXPECT_EQ(test::readFile(aside), k.rewrite) << "the user's version is kept";
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0], h + " was rewritten after a save to it was killed: kept as " + aside +
                                  "; the file from before that save is back");
    }
}

TEST(SafeWrite, ADeadSavesRecordsGoWithAnyLaterSaveToTheFolder) {
    const std::vector<std::string> names = {"a.png", "thumbnail.jpg", "config.txt"};
    // killAt: the hook's index, 1 or 2 tear the set, 3 comes after the last rename;
    // sameNames: the later save writes the same three names (refused: they exist)
    struct Case { const char* what; std::size_t killAt; bool sameNames; };
    const Case cases[] = {
        {"torn after one, other name saved", 1, false},
        {"torn after two, other name saved", 2, false},
        {"finished, other name saved", 3, false},
        {"finished, same names checked", 3, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        test::TempDir dir;
        std::vector<FileContent> before, after;
        for (const auto& n : names) {
            before.push_back({dir.file(n), "old " + n});
            after.push_back({dir.file(n), "new " + n});
        }
        writeFilesSafely(before);
        test::inChild([&] {
            setBetweenCommitsHookForTests([&](std::size_t i) { if (i == k.killAt) ::_exit(0); });
            writeFilesSafely(after);
        });
        ASSERT_GT(leftovers(dir.path()), 0) << "the kill left records";
        if (k.sameNames) EXPECT_THROW(checkTargets({after[0].path, after[1].path, after[2].path}, Existing::Refuse), TargetExists);
        else writeFilesSafely({{dir.file("other.png"), "other"}}, Existing::Refuse);
        EXPECT_EQ(leftovers(dir.path()), 0);
        // A torn set is put back; a finished one is never rolled back.
        const auto& expected = k.killAt < names.size() ? before : after;
        for (const auto& f : expected) EXPECT_EQ(test::readFile(f.path), f.bytes);
    }
}

TEST(SafeWrite, AFinishedPairIsNeverRolledBack) {
    for (const bool userReplaced : {false, true}) {
        SCOPED_TRACE(userReplaced ? "one file replaced by the user since" : "both files as the save left them");
        test::TempDir dir;
        const std::string h = dir.file("h.bmp"), c = dir.file("hCL.bmp");
        writeFilesSafely({{h, "old map"}, {c, "old contours"}});
        // Killed after both renames, before its records were dropped.
        test::inChild([&] {
            setBetweenCommitsHookForTests([](std::size_t i) { if (i == 2) ::_exit(0); });
            writeFilesSafely({{h, "new map"}, {c, "new contours"}});
        });
        ASSERT_GT(leftovers(dir.path()), 0) << "the kill left records";
        ASSERT_EQ(test::readFile(c), "new contours");
        if (userReplaced) {
            // Another program puts a file of its own in place of the map.
            const std::string other = dir.file("other");
            std::ofstream(other) << "user's map";
            ASSERT_EQ(::rename(other.c_str(), h.c_str()), 0);
        }
        EXPECT_THROW(checkTargets({h, c}, Existing::Refuse), TargetExists);
        EXPECT_EQ(leftovers(dir.path()), 0) << "the dead save's records are gone";
        EXPECT_EQ(test::readFile(h), userReplaced ? "user's map" : "new map");
        EXPECT_EQ(test::readFile(c), "new contours") << "the finished pair stays new";
    }
}

}  // namespace
}  // namespace morv
