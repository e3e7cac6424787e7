// The pixel loops built for x86-64-v2 (SSSE3 to SSE4.2); the flags come from the build.
#define MORV_KERNEL_NAMESPACE kernels_x86v2
#define MORV_KERNEL_LEVEL KernelLevel::X86v2
#include "engine/PixelKernelBody.h"
