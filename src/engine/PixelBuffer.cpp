#include "engine/PixelBuffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace morv {

namespace {
// Planes from this size on are mapped on their own, in whole huge pages.
constexpr std::size_t kMapFrom = 4u << 20;
constexpr std::size_t kHugePage = 2u << 20;

std::size_t mappedBytes(std::size_t bytes) noexcept { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

/// Freed mapped planes kept for reuse while keepFreedPlanes is on: enough for the
/// height and contour planes of the maps a batch works side by side.
class PlaneCache {
public:
    static constexpr std::size_t kPlanes = 8;

    void setOn(bool on) noexcept {
        std::vector<Kept> dropped;
        {
            const std::lock_guard lock(m_mutex);
            m_on = on;
            if (!on) dropped.swap(m_kept);
        }
        for (const Kept& k : dropped) ::munmap(k.data, k.bytes);
    }
    /// A kept mapping of exactly mapped bytes, or null.
    void* take(std::size_t mapped) noexcept {
        const std::lock_guard lock(m_mutex);
        for (std::size_t i = 0; i < m_kept.size(); ++i)
            if (m_kept[i].bytes == mapped) {
                void* p = m_kept[i].data;
                m_kept.erase(m_kept.begin() + std::ptrdiff_t(i));
                return p;
            }
        return nullptr;
    }
    /// Keeps the mapping when there is room; false when the caller must unmap it.
    bool keep(void* data, std::size_t mapped) noexcept {
        const std::lock_guard lock(m_mutex);
        if (!m_on || m_kept.size() >= kPlanes) return false;
        try {
            m_kept.push_back({data, mapped});
        } catch (...) {
            return false;
        }
        return true;
    }

private:
    struct Kept {
        void* data;
        std::size_t bytes;
    };
    std::mutex m_mutex;
    bool m_on = false;
    std::vector<Kept> m_kept;
};

PlaneCache& planeCache() noexcept {
    // Never destroyed: a picture freed by another static's destructor at exit
    // still finds it.
    static PlaneCache* const cache = new PlaneCache;
    return *cache;
}

}  // namespace

PlaneMemory::PlaneMemory(std::size_t bytes) : PlaneMemory(bytes, true) {}

PlaneMemory::PlaneMemory(std::size_t bytes, bool zeroed) : m_bytes(bytes) {
    if (bytes == 0) return;
    if (bytes < kMapFrom) {
        m_data = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
        if (!m_data) throw std::bad_alloc();
        return;
    }
    const std::size_t mapped = mappedBytes(bytes);
    if (void* kept = planeCache().take(mapped)) {
        if (zeroed) std::memset(kept, 0, bytes);
        m_data = kept;
        m_mapped = true;
        return;
    }
    // Fresh pages come zeroed from the system.
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(p, mapped, MADV_HUGEPAGE);
#endif
    m_data = p;
    m_mapped = true;
}

void PlaneMemory::keepFreedPlanes(bool on) noexcept { planeCache().setOn(on); }

PlaneMemory::~PlaneMemory() { release(); }

PlaneMemory& PlaneMemory::operator=(PlaneMemory&& o) noexcept {
    if (this != &o) {
        release();
        m_data = o.m_data;
        m_bytes = o.m_bytes;
        m_mapped = o.m_mapped;
        o.m_data = nullptr;
        o.m_bytes = 0;
    }
    return *this;
}

void PlaneMemory::release() noexcept {
    if (!m_data) return;
    if (!m_mapped) std::free(m_data);
    else if (!planeCache().keep(m_data, mappedBytes(m_bytes))) ::munmap(m_data, mappedBytes(m_bytes));
    m_data = nullptr;
    m_bytes = 0;
}

void copyPlaneBytes(void* to, const void* from, std::size_t bytes) noexcept {
    if (bytes) std::memcpy(to, from, bytes);
}

}  // namespace morv
