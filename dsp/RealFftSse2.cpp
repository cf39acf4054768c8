// The four-lane vector path for any x86-64 (SSE2 is part of the base instruction set).

#include "dsp/SimdRealFft.h"

namespace {
typedef float Float4 __attribute__((vector_size(16)));
struct Sse2 {};
} // namespace

namespace realfft_simd {

void selectSse2(int n, RealFft::VectorEntryPoints& entry) noexcept { entry = entryPointsFor<Float4, Sse2>(n); }

} // namespace realfft_simd
