#include "engine/PixelBuffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace morv {

namespace {
// Planes from this size on are mapped on their own, in whole huge pages.
constexpr std::size_t kMapFrom = 4u << 20;
constexpr std::size_t kHugePage = 2u << 20;
}  // namespace

PlaneMemory::PlaneMemory(std::size_t bytes) : m_bytes(bytes) {
    if (bytes == 0) return;
    if (bytes < kMapFrom) {
        m_data = std::calloc(bytes, 1);
        if (!m_data) throw std::bad_alloc();
        return;
    }
    const std::size_t mapped = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(p, mapped, MADV_HUGEPAGE);
#endif
    m_data = p;
    m_mapped = true;
}

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
    if (m_mapped) ::munmap(m_data, (m_bytes + kHugePage - 1) / kHugePage * kHugePage);
    else std::free(m_data);
    m_data = nullptr;
    m_bytes = 0;
}

void copyPlaneBytes(void* to, const void* from, std::size_t bytes) noexcept {
    if (bytes) std::memcpy(to, from, bytes);
}

}  // namespace morv
