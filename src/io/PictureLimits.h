#pragma once
#include <cstdint>
#include <string>

#include "core/RuntimeError.h"

namespace morv {

/// Size limits for pictures: sides up to 32767 pixels and an area up to
/// 16384 x 16384 pixels; anything larger is refused from its header alone.
inline constexpr int kMaxPictureSide = 32767;
inline constexpr int kMaxPictureAreaSide = 16384;
inline constexpr std::int64_t kMaxPictureArea = std::int64_t(kMaxPictureAreaSide) * kMaxPictureAreaSide;

/// Out of memory (7) for a picture file, naming the file and the reason.
inline RuntimeError outOfMemoryError(const std::string& path, const std::string& reason) {
    return RuntimeError(err::OutOfMemory, RuntimeError::standardDescription(err::OutOfMemory) + ": " + path + ": " + reason);
}

/// Out of memory (7) for a picture whose pixel planes need more than the budget.
inline RuntimeError beyondBudgetError(const std::string& path, std::uint64_t need, std::uint64_t budget) {
    return outOfMemoryError(path, "the picture needs " + std::to_string(need >> 20) + " MB, more than the " +
                                      std::to_string(budget >> 20) + " MB a picture may take on this machine");
}

}  // namespace morv
