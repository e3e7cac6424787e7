#include "app/cli/MemoryShare.h"

#include <algorithm>

namespace morv::cli {

MemoryShare::MemoryShare(std::uint64_t total, std::size_t maps) : m_total(total), m_turnTaken(maps, 0) {}

MemoryShare::Lease::~Lease() {
    if (m_share) m_share->give(m_bytes);
}

MemoryShare::Lease MemoryShare::take(std::size_t index, std::uint64_t need) {
    need = std::min(need, m_total);
    std::unique_lock lock(m_mutex);
    ++m_waiting;
    // Strictly in input order: a large map is not overtaken for ever by small ones.
    m_changed.wait(lock, [&] { return m_nextTurn == index && m_held + need <= m_total; });
    --m_waiting;
    m_held += need;
    endTurnLocked(index);
    lock.unlock();
    m_changed.notify_all();
    return Lease(this, need);
}

void MemoryShare::pass(std::size_t index) {
    {
        const std::lock_guard lock(m_mutex);
        if (index >= m_turnTaken.size() || m_turnTaken[index]) return;
        endTurnLocked(index);
    }
    m_changed.notify_all();
}

std::uint64_t MemoryShare::held() const {
    const std::lock_guard lock(m_mutex);
    return m_held;
}

std::size_t MemoryShare::waiting() const {
    const std::lock_guard lock(m_mutex);
    return m_waiting;
}

void MemoryShare::endTurnLocked(std::size_t index) {
    if (index < m_turnTaken.size()) m_turnTaken[index] = 1;
    while (m_nextTurn < m_turnTaken.size() && m_turnTaken[m_nextTurn]) ++m_nextTurn;
}

void MemoryShare::give(std::uint64_t bytes) {
    {
        const std::lock_guard lock(m_mutex);
        m_held -= bytes;
    }
    m_changed.notify_all();
}

}  // namespace morv::cli
