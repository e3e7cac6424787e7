// The pixel loops built for any x86-64 processor (or any other); the flags come from the build.
#define MORV_KERNEL_NAMESPACE kernels_generic
#define MORV_KERNEL_LEVEL KernelLevel::Generic
#include "engine/PixelKernelBody.h"
