#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace morv {

/// Zero-filled memory for a pixel plane. Large planes are mapped straight from the
/// system and asked for huge pages, so that touching a fresh 16 MiB plane costs a
/// few page faults instead of thousands; small ones come from the heap.
class PlaneMemory {
public:
    PlaneMemory() = default;
    /// Zero-filled bytes; throws std::bad_alloc when they cannot be had.
    explicit PlaneMemory(std::size_t bytes);
    /// Bytes left as they come when zeroed is false: for a plane that is written
    /// whole before it is read. Throws std::bad_alloc when they cannot be had.
    PlaneMemory(std::size_t bytes, bool zeroed);

    /// While on, large planes freed are kept (a few, see PixelBuffer.cpp) for the
    /// next plane of the same size instead of going back to the system, so a batch
    /// of maps of one size touches fresh memory for its first map only. Off at start.
    static void keepFreedPlanes(bool on) noexcept;
    ~PlaneMemory();
    PlaneMemory(const PlaneMemory&) = delete;
    PlaneMemory& operator=(const PlaneMemory&) = delete;
    PlaneMemory(PlaneMemory&& o) noexcept : m_data(o.m_data), m_bytes(o.m_bytes), m_mapped(o.m_mapped) {
        o.m_data = nullptr;
        o.m_bytes = 0;
    }
    PlaneMemory& operator=(PlaneMemory&& o) noexcept;

    void* data() const noexcept { return m_data; }
    std::size_t bytes() const noexcept { return m_bytes; }

private:
    void release() noexcept;
    void* m_data = nullptr;
    std::size_t m_bytes = 0;
    bool m_mapped = false;
};

/// A plane of n pixels of a trivial type T, zero-filled, copyable (a deep copy).
template <class T>
class PixelBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PixelBuffer() = default;
    explicit PixelBuffer(std::size_t n) : m_memory(n * sizeof(T)), m_size(n) {}
    /// n pixels left unset, for a plane that is written whole before it is read.
    static PixelBuffer unset(std::size_t n) { return PixelBuffer(n, false); }
    PixelBuffer(const PixelBuffer& o) : m_memory(o.m_size * sizeof(T), false), m_size(o.m_size) { copyFrom(o); }
    /// A deep copy; a plane of the same length is overwritten where it lies, so a
    /// picture copied over one of its own size takes no fresh memory.
    PixelBuffer& operator=(const PixelBuffer& o) {
        if (this == &o) return *this;
        if (m_size == o.m_size) {
            copyFrom(o);
            return *this;
        }
        PixelBuffer copy(o);
        *this = std::move(copy);
        return *this;
    }
    PixelBuffer(PixelBuffer&&) noexcept = default;
    PixelBuffer& operator=(PixelBuffer&& o) noexcept {
        m_memory = std::move(o.m_memory);
        m_size = o.m_size;
        o.m_size = 0;
        return *this;
    }

    T* data() noexcept { return static_cast<T*>(m_memory.data()); }
    const T* data() const noexcept { return static_cast<const T*>(m_memory.data()); }
    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    T* begin() noexcept { return data(); }
    T* end() noexcept { return data() + m_size; }
    const T* begin() const noexcept { return data(); }
    const T* end() const noexcept { return data() + m_size; }
    T& operator[](std::size_t i) noexcept { return data()[i]; }
    const T& operator[](std::size_t i) const noexcept { return data()[i]; }
    /// Frees the plane.
    void clear() noexcept { *this = PixelBuffer(); }

private:
    PixelBuffer(std::size_t n, bool zeroed) : m_memory(n * sizeof(T), zeroed), m_size(n) {}
    void copyFrom(const PixelBuffer& o) noexcept;
    PlaneMemory m_memory;
    std::size_t m_size = 0;
};

void copyPlaneBytes(void* to, const void* from, std::size_t bytes) noexcept;

template <class T>
void PixelBuffer<T>::copyFrom(const PixelBuffer& o) noexcept {
    copyPlaneBytes(m_memory.data(), o.m_memory.data(), m_size * sizeof(T));
}

}  // namespace morv
