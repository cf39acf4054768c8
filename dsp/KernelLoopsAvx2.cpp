// The kernel's loops on eight lanes, compiled for AVX2 without fused multiply-adds so that
// they give the four-lane results bit for bit. Selected only after a run-time CPU check.

#include "dsp/KernelLoopsOf.h"

namespace {
typedef float Float8 __attribute__((vector_size(32)));
}  // namespace

KernelLoops eightLaneKernelLoops() noexcept { return KernelLoopsOf<Float8>::loops(); }
