#include "dsp/KernelLoops.h"

#include "dsp/KernelLoopsOf.h"

namespace {
typedef float Float4 __attribute__((vector_size(16)));
}  // namespace

#if defined(__x86_64__)
// KernelLoopsAvx2.cpp, compiled for AVX2; called only after the CPU check below.
KernelLoops eightLaneKernelLoops() noexcept;
#endif

bool KernelLoops::machineRuns(Width width) noexcept
{
    if (width == Width::Four) {
        return true;
    }
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

KernelLoops KernelLoops::of(Width width) noexcept
{
#if defined(__x86_64__)
    if (width == Width::Eight && machineRuns(Width::Eight)) {
        return eightLaneKernelLoops();
    }
#else
    (void)width;
#endif
    return KernelLoopsOf<Float4>::loops();
}

KernelLoops KernelLoops::fastest() noexcept { return of(Width::Eight); }
