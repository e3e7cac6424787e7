#pragma once
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RuntimeError.h"

namespace morv {

/// What a save does with a target that already exists.
enum class Existing {
    Replace,  ///< an existing regular file is replaced (its owner and mode are kept)
    Refuse,   ///< the save fails with TargetExists; decided atomically when committing
};

/// A save refused because its target exists and may not be replaced (75).
class TargetExists : public RuntimeError {
public:
    explicit TargetExists(const std::string& path);
    /// The target as the caller named it.
    const std::string& path() const noexcept { return m_path; }

private:
    std::string m_path;
};

/// Why a file of this mode is no save target: "not a regular file (it is a FIFO)".
std::string notRegularFileReason(mode_t mode);

class StagedFile;

/// Commits count staged files as one set; see commitAll.
void commitStaged(StagedFile* const* files, std::size_t count);

/// A file written beside its target under a short temporary name (".morv-PID-START-N",
/// the owner's process id and start time) and put in place only when complete.
/// The target must be absent or a regular file; a symbolic link is written through
/// to the regular file it names, and a replaced file keeps its owner and mode.
/// Other hard links to a replaced file keep the old content: the name given gets
/// a new file, as with every rename-based save. Every write is checked in full; a
/// file dropped before commit leaves no temporary behind and the target as it was.
/// Temporaries are also removed when a signal ends the process (SIGINT, SIGTERM,
/// SIGHUP, SIGQUIT, SIGPIPE and the other signals sent to end a process); SIGXFSZ
/// is ignored, so that a file-size limit fails the write with "File too large".
class StagedFile {
public:
    /// Checks the target (see checkTargets) and creates the temporary file in the
    /// folder of the file it will replace. Throws RuntimeError (53 missing folder,
    /// 75 a target that is not a regular file, not writable or exists when it may
    /// not, 61 disk full).
    explicit StagedFile(std::string target, Existing existing = Existing::Replace);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&&) = delete;

    /// Appends bytes; throws RuntimeError on any error or short write.
    void write(const void* data, std::size_t size);
    void write(std::string_view bytes) { write(bytes.data(), bytes.size()); }
    /// Flushes the temporary file to the disk (fdatasync) and closes it, checking that
    /// it was written in full.
    void finish();
    /// Puts the finished temporary file in place of the target.
    void commit();

    /// The target as the caller named it.
    const std::string& target() const { return m_target; }

private:
    friend void commitStaged(StagedFile* const* files, std::size_t count);
    friend std::vector<StagedFile> stageFiles(const std::vector<std::string>& targets, Existing existing);
    StagedFile(std::string target, std::string final, Existing existing);

    std::string m_target;   // as named
    std::string m_final;    // the file written: the target, or the file its link names
    std::string m_temp;
    Existing m_existing = Existing::Replace;
    int m_fd = -1;
    int m_slot = -1;        // the temporary's entry in the table the signal handler clears
    ino_t m_inode = 0;      // the temporary's inode, size and modification time (ns), recorded
    off_t m_size = 0;       // when it is finished: how a later repair knows the file it wrote
    long long m_mtime = 0;
    bool m_committed = false;
};

/// Repairs what killed saves left in the targets' folders (a set half replaced is
/// put back as it was, whatever names it wrote; a file rewritten in place since is
/// first moved aside under a new name, told through the notice handler; records
/// and temporaries of dead owners are removed, and temporaries of earlier versions,
/// ".NAME.morv-XXXXXX", once they are a day old), then checks every target before
/// any is touched: each must be absent or a regular file (a symbolic link counts as
/// the file it names; a link to nothing is refused unless existing files may be
/// replaced, then the file it names is made), in a writable folder, writable when
/// it exists, not another user's file in a shared (sticky) folder that only its
/// owner may replace, no file named twice; with Existing::Refuse an existing target
/// throws TargetExists. Throws RuntimeError.
void checkTargets(const std::vector<std::string>& targets, Existing existing);

/// Checks every target (checkTargets), then stages one file for each.
std::vector<StagedFile> stageFiles(const std::vector<std::string>& targets, Existing existing);

/// Commits finished staged files as one set: each temporary is flushed to the disk
/// (fdatasync) before the first rename, the old files are hard-linked
/// aside (so that no rename has blocks to free and the window between the renames
/// stays short), the temporaries are renamed into place (or linked, when targets may
/// not be replaced, so that a target made meanwhile fails with TargetExists), then
/// each folder is flushed (fsync) and the aside links are dropped, so that a power
/// cut leaves the old set or the new one. When any step fails, the targets already committed
/// are put back and the error is thrown. Commits to the same folder take turns.
void commitAll(std::vector<StagedFile>& files);

/// One file's whole content.
struct FileContent {
    std::string path;
    std::string bytes;
};

/// Writes each file safely: all temporaries complete before any is committed; on any
/// failure no target changes and no temporary is left. Throws RuntimeError.
void writeFilesSafely(const std::vector<FileContent>& files, Existing existing = Existing::Replace);

/// Removes every temporary this process has open now. Async-signal-safe; for exit
/// paths that skip destructors.
void removeStagedTemporaries() noexcept;

/// For tests: called between two commits of a set (with the index of the next one)
/// and once after the last (with the set's size), before the folders are flushed.
void setBetweenCommitsHookForTests(std::function<void(std::size_t)> hook);

/// Where a repair tells what it did that the user should know (one line, such as
/// the name a file was moved aside to). By default the line goes to standard error.
void setRepairNoticeHandler(std::function<void(const std::string& line)> handler);

/// The system calls that make a commit durable and put its files in place. Tests
/// replace them to record their order or to make one fail; an empty member keeps
/// the system's own.
struct CommitCalls {
    std::function<int(int fd)> fdatasync;
    std::function<int(int fd)> fsync;
    std::function<int(const char* from, const char* to)> rename;
};

/// For tests: replaces the commit's system calls (CommitCalls{} restores them).
void setCommitCallsForTests(CommitCalls calls);

}  // namespace morv
