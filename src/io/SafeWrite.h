#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace morv {

/// A file written beside its target under a temporary name and renamed into place
/// only when complete. Every write is checked in full; a file that is dropped
/// before commit() leaves no temporary behind and the target as it was.
class StagedFile {
public:
    /// Creates the temporary file in target's folder. Throws RuntimeError
    /// (53 missing folder, 75 folder or existing target not writable, 61 disk full).
    explicit StagedFile(std::string target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&&) = delete;

    /// Appends bytes; throws RuntimeError on any error or short write.
    void write(const void* data, std::size_t size);
    void write(std::string_view bytes) { write(bytes.data(), bytes.size()); }
    /// Closes the temporary file, checking that it was written in full.
    void finish();
    /// Renames the finished temporary file over the target.
    void commit();

    const std::string& target() const { return m_target; }

private:
    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
    bool m_committed = false;
};

/// Commits finished staged files in order. When a rename fails, the files not yet
/// renamed are dropped and the error is thrown.
void commitAll(std::vector<StagedFile>& files);

/// One file's whole content.
struct FileContent {
    std::string path;
    std::string bytes;
};

/// Writes each file safely: all temporaries complete before any is renamed; on any
/// failure no target changes and no temporary is left. Throws RuntimeError.
void writeFilesSafely(const std::vector<FileContent>& files);

}  // namespace morv
