#include "engine/PixelPack.h"

#include "engine/PixelKernels.h"

namespace morv {

bool unpackBgrToGrey(const std::uint8_t* bgr, std::size_t n, std::uint8_t* grey) noexcept {
    return pixelKernels().unpackBgr(bgr, n, grey);
}

void packGreyToBgr(const std::uint8_t* grey, std::size_t n, std::uint8_t* bgr) noexcept {
    pixelKernels().packBgr(grey, n, bgr);
}

}  // namespace morv
