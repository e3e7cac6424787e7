#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace morv::cli {

/// The memory the maps of a batch share. Before a map loads anything it takes the
/// bytes its run needs; the maps take their turns in input order, and a map waits
/// while the maps before it hold too much for it, so maps that fit one after the
/// other never run out side by side. A map that needs more than the whole waits
/// until it is alone and runs alone, as it would in a batch of one. Every map takes
/// or passes its turn exactly once. Waits go only to earlier maps, so a map may also
/// wait for an earlier one elsewhere (a shared result name) without a deadlock.
/// Thread-safe.
class MemoryShare {
public:
    /// total: the bytes all running maps may hold together; maps: how many take turns.
    MemoryShare(std::uint64_t total, std::size_t maps);

    /// Bytes held by one map until it is destroyed.
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& o) noexcept : m_share(o.m_share), m_bytes(o.m_bytes) { o.m_share = nullptr; }
        Lease& operator=(Lease&&) = delete;
        ~Lease();
        std::uint64_t bytes() const noexcept { return m_bytes; }

    private:
        friend class MemoryShare;
        Lease(MemoryShare* share, std::uint64_t bytes) : m_share(share), m_bytes(bytes) {}
        MemoryShare* m_share = nullptr;
        std::uint64_t m_bytes = 0;
    };

    /// Map index takes need bytes (the whole when it needs more): waits for its turn
    /// and until they are free.
    Lease take(std::size_t index, std::uint64_t need);
    /// Map index ends without taking (it failed first); does nothing once it took.
    void pass(std::size_t index);

    std::uint64_t total() const noexcept { return m_total; }
    /// Bytes held now.
    std::uint64_t held() const;
    /// Maps waiting in take() now.
    std::size_t waiting() const;

private:
    void endTurnLocked(std::size_t index);
    void give(std::uint64_t bytes);

    const std::uint64_t m_total;
    std::uint64_t m_held = 0;
    std::size_t m_waiting = 0;
    std::vector<char> m_turnTaken;
    std::size_t m_nextTurn = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
};

}  // namespace morv::cli
