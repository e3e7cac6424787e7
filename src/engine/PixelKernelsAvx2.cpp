// The pixel loops built for x86-64-v3 (AVX2, FMA, BMI); the flags come from the build.
#define MORV_KERNEL_NAMESPACE kernels_avx2
#define MORV_KERNEL_LEVEL KernelLevel::Avx2
#include "engine/PixelKernelBody.h"
