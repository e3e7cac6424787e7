#include "engine/LevelMap.h"

#include "engine/PixelKernels.h"

namespace morv {

void mapLevels(std::uint8_t* p, std::size_t n, const std::array<std::uint8_t, 256>& lut) {
    pixelKernels().mapLevels(p, n, lut.data());
}

}  // namespace morv
