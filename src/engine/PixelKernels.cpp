#include "engine/PixelKernels.h"

#include <initializer_list>

namespace morv {

namespace kernels_generic {
extern const PixelKernels kPixelKernels;
}
#ifdef MORV_X86_KERNELS
namespace kernels_x86v2 {
extern const PixelKernels kPixelKernels;
}
namespace kernels_avx2 {
extern const PixelKernels kPixelKernels;
}
namespace kernels_avx512 {
extern const PixelKernels kPixelKernels;
}
#endif

namespace {

#ifdef MORV_X86_KERNELS
bool runs(KernelLevel level) noexcept {
    __builtin_cpu_init();
    switch (level) {
    case KernelLevel::Generic: return true;
    case KernelLevel::X86v2:
        return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1") &&
               __builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("popcnt");
    case KernelLevel::Avx2:
        return runs(KernelLevel::X86v2) && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
               __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    case KernelLevel::Avx512:
        return runs(KernelLevel::Avx2) && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
    }
    return false;
}
#endif

const PixelKernels& best() noexcept {
    for (KernelLevel level : {KernelLevel::Avx512, KernelLevel::Avx2, KernelLevel::X86v2})
        if (const PixelKernels* k = pixelKernelsFor(level)) return *k;
    return kernels_generic::kPixelKernels;
}

}  // namespace

const PixelKernels* pixelKernelsFor(KernelLevel level) noexcept {
    switch (level) {
    case KernelLevel::Generic: return &kernels_generic::kPixelKernels;
#ifdef MORV_X86_KERNELS
    case KernelLevel::X86v2: return runs(level) ? &kernels_x86v2::kPixelKernels : nullptr;
    case KernelLevel::Avx2: return runs(level) ? &kernels_avx2::kPixelKernels : nullptr;
    case KernelLevel::Avx512: return runs(level) ? &kernels_avx512::kPixelKernels : nullptr;
#else
    default: return nullptr;
#endif
    }
    return nullptr;
}

const PixelKernels& pixelKernels() noexcept {
    static const PixelKernels& chosen = best();
    return chosen;
}

const char* kernelLevelName(KernelLevel level) noexcept {
    switch (level) {
    case KernelLevel::Generic: return "generic";
    case KernelLevel::X86v2: return "x86-64-v2";
    case KernelLevel::Avx2: return "avx2";
    case KernelLevel::Avx512: return "avx512";
    }
    return "?";
}

}  // namespace morv
