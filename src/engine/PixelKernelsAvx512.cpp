// The pixel loops built for x86-64-v4 with AVX-512 VBMI; the flags come from the build.
#define MORV_KERNEL_NAMESPACE kernels_avx512
#define MORV_KERNEL_LEVEL KernelLevel::Avx512
#include "engine/PixelKernelBody.h"
