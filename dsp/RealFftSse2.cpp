// The four-lane vector path for any x86-64 (SSE2 is part of the base instruction set).

#include "dsp/SimdRealFft.h"

namespace {
typedef float Float4 __attribute__((vector_size(16)));
} // namespace

namespace realfft_simd {

using Transform = void (*)(const RealFft::VectorTables&, const float*, float*) noexcept;

// Small sizes get their own instantiation with P fixed, so that their loops unroll.
void selectSse2(int n, Transform& forward, Transform& inverse) noexcept
{
    switch (n) {
    case 32:
        forward = SimdRealFft<Float4, 4>::forward;
        inverse = SimdRealFft<Float4, 4>::inverse;
        return;
    case 64:
        forward = SimdRealFft<Float4, 8>::forward;
        inverse = SimdRealFft<Float4, 8>::inverse;
        return;
    default:
        forward = SimdRealFft<Float4>::forward;
        inverse = SimdRealFft<Float4>::inverse;
        return;
    }
}

} // namespace realfft_simd
