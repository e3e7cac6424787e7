// Feeds arbitrary bytes to the BMP reader: anything may be refused, nothing may crash.
#include <cstddef>
#include <cstdint>

#include "core/RuntimeError.h"
#include "io/BmpCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    morv::MemorySource source({data, size});
    try {
        // A small memory budget keeps each run quick; larger claims are refused as error 7.
        morv::decodeBmp(source, "fuzz.bmp", std::uint64_t(16) << 20);
    } catch (const morv::RuntimeError&) {
    }
    return 0;
}
