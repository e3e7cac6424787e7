#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/HeightImage.h"

namespace morv {

/// Where the BMP reader takes its bytes from: a window of the data at a time, so a
/// file is never held whole in memory.
class ByteSource {
public:
    /// The longest window fetch() must be able to give (a few MiB).
    static constexpr std::size_t kMaxFetch = std::size_t(4) << 20;

    virtual ~ByteSource() = default;
    /// The total number of bytes.
    virtual std::uint64_t size() const noexcept = 0;
    /// Exactly n bytes at offset; the caller keeps offset + n within size() and n
    /// within kMaxFetch. The span stays valid until the next call.
    virtual std::span<const std::uint8_t> fetch(std::uint64_t offset, std::size_t n) = 0;
};

/// Bytes already in memory (tests, fuzzing).
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint64_t size() const noexcept override { return m_bytes.size(); }
    std::span<const std::uint8_t> fetch(std::uint64_t offset, std::size_t n) override {
        return m_bytes.subspan(std::size_t(offset), n);
    }

private:
    std::span<const std::uint8_t> m_bytes;
};

/// An open regular file read with pread in growing chunks (up to kReadChunk, or
/// the window asked for when that is longer). Its one buffer is never zeroed and
/// stays small enough to remain in the processor's cache while a picture is
/// decoded from it. Read errors throw RuntimeError naming path; a file that
/// shrinks while read is refused as truncated (481).
class FileSource final : public ByteSource {
public:
    /// Reads fd (not owned), whose length was size when opened.
    FileSource(int fd, std::string path, std::uint64_t size);
    std::uint64_t size() const noexcept override { return m_size; }
    std::span<const std::uint8_t> fetch(std::uint64_t offset, std::size_t n) override;

    /// The longest read made for a short window.
    static constexpr std::size_t kReadChunk = std::size_t(256) << 10;

private:
    int m_fd;
    std::string m_path;
    std::uint64_t m_size;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_capacity = 0;
    std::uint64_t m_bufferStart = 0;
    std::size_t m_bufferLength = 0;
    std::size_t m_nextChunk = std::size_t(64) << 10;
};

/// What a BMP's headers say, checked against the data's length.
struct BmpHeader {
    int width = 0;
    int height = 0;          ///< Always positive; topDown tells the row order.
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 0;
    std::uint64_t pixelOffset = 0;
    std::uint64_t pixelBytes = 0;  ///< Bytes from pixelOffset the pixels may use.
    int paletteSize = 0;
    bool paletteGrey = true;       ///< Every palette entry has red = green = blue.
};

/// Reads and checks a BMP's headers without allocating for the pixels. name goes
/// into error descriptions. Throws RuntimeError 481 with the reason on any fault.
BmpHeader readBmpHeader(ByteSource& source, const std::string& name);

/// Decodes a BMP: a grey picture at one byte a pixel, promoted to colour storage at
/// the first pixel that is not grey. memoryBudget bounds the bytes the pixel planes
/// may take (error 7 beyond it). Throws RuntimeError 481 on any damaged, truncated
/// or unsupported data; palette indices beyond the palette are refused, and pixels
/// skipped by RLE gaps read as black.
HeightImage decodeBmp(ByteSource& source, const std::string& name,
                      std::uint64_t memoryBudget = std::numeric_limits<std::uint64_t>::max());

/// Receives the encoded bytes in order, a chunk at a time.
using ByteSink = std::function<void(const void* data, std::size_t size)>;

/// The length of the 24-bit BMP file writeBmp24 produces for a width x height picture.
std::uint64_t bmp24FileSize(int width, int height) noexcept;

/// Writes image as a 24-bit uncompressed bottom-up BMP (40-byte header, 2835
/// pixels a metre) into sink in chunks of whole rows; grey pixels as red = green =
/// blue = level. The picture must not be empty.
void writeBmp24(const HeightImage& image, const ByteSink& sink);

}  // namespace morv
