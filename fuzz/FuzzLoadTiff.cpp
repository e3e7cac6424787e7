// Feeds arbitrary bytes to the TIFF reader: anything may be refused, nothing may
// crash, and nothing may be decoded beyond the budget.
#include <cstddef>
#include <cstdint>
#include <new>

#include "core/RuntimeError.h"
#include "io/TiffCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    morv::MemorySource source({data, size});
    // Odd-length inputs map 16-bit grey through a chosen range, even ones through
    // the map's own lowest to highest, so both ways of making levels are walked.
    morv::LevelOptions options;
    if (size % 2 == 1) options.levels = morv::SampleRange{1000, 3000};
    try {
        // A small memory budget keeps each run quick; larger claims are refused as error 7.
        morv::decodeTiff(source, "fuzz.tif", options, std::uint64_t(16) << 20);
    } catch (const morv::RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
