// The four-lane vector path for any x86-64 (SSE2 is part of the base instruction set).

#include "dsp/SimdRealFft.h"

namespace {
typedef float Float4 __attribute__((vector_size(16)));
} // namespace

namespace realfft_simd {

// Small sizes get their own instantiation with P fixed, so that their loops unroll.
void selectSse2(int n, RealFft::VectorEntryPoints& entry) noexcept
{
    switch (n) {
    case 32:
        entry = entryPointsOf<SimdRealFft<Float4, 4>>();
        return;
    case 64:
        entry = entryPointsOf<SimdRealFft<Float4, 8>>();
        return;
    default:
        entry = entryPointsOf<SimdRealFft<Float4>>();
        return;
    }
}

} // namespace realfft_simd
