// Feeds arbitrary bytes to the TGA reader: anything may be refused, nothing may
// crash, and nothing may be decoded beyond the budget.
#include <cstddef>
#include <cstdint>
#include <new>

#include "core/RuntimeError.h"
#include "io/TgaCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The loader only hands a file to the TGA reader when its header looks like one;
    // the reader is fed every input anyway, since it must hold up on its own.
    morv::MemorySource source({data, size});
    try {
        // A small memory budget keeps each run quick; larger claims are refused as error 7.
        morv::decodeTga(source, "fuzz.tga", std::uint64_t(16) << 20);
    } catch (const morv::RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
