// Feeds arbitrary bytes to the JPEG reader: anything may be refused, nothing may
// crash, and nothing may be decoded beyond the budget.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <new>

#include "core/RuntimeError.h"
#include "io/JpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("fuzz.jpg", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size) || ::lseek(fd, 0, SEEK_SET) != 0)
        return 0;
    // A small budget keeps each run quick; larger claims are refused as the loader refuses them.
    constexpr std::uint64_t kBudget = std::uint64_t(16) << 20;
    try {
        morv::JpegReader reader(fd, "fuzz.jpg");
        if (reader.width() > 0 && reader.height() > 0 && reader.memoryNeeded() <= kBudget) reader.decode(kBudget);
    } catch (const morv::RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
