#pragma once
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morv::cli {

/// Keeps two maps of one batch from writing the same file, the same way whatever
/// order the jobs finish in: of two maps whose outputs share a path, the earlier
/// input writes and the later one fails. Only maps of equal key (the folder and
/// name their outputs are formed from) are compared, in input order. Thread-safe.
class OutputClaims {
public:
    explicit OutputClaims(const std::vector<std::string>& keys);

    /// Claims paths for map i, once every earlier map of the same key has claimed
    /// its paths or given up. Returns the earlier map holding one of the paths, or
    /// nothing when they are now map i's.
    std::optional<std::size_t> claim(std::size_t i, const std::vector<std::string>& paths);
    /// Map i claims nothing more (it failed, or it claimed already).
    void settle(std::size_t i);

private:
    std::vector<std::optional<std::size_t>> m_previous;  // the earlier map of the same key
    std::vector<char> m_settled;
    std::vector<std::vector<std::string>> m_paths;
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

}  // namespace morv::cli
