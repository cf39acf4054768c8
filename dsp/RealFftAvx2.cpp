// The eight-lane vector path (four lanes below N = 128), compiled with AVX2 and FMA enabled and
// fused multiply-adds allowed. RealFft selects it only after checking the CPU.

#include "dsp/SimdRealFft.h"

namespace {
typedef float Float4 __attribute__((vector_size(16)));
typedef float Float8 __attribute__((vector_size(32)));
} // namespace

namespace realfft_simd {

using Transform = void (*)(const RealFft::VectorTables&, const float*, float*) noexcept;

// Small sizes get their own instantiation with P fixed, so that their loops unroll.
void selectAvx2Fma(int n, Transform& forward, Transform& inverse) noexcept
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
    case 128:
        forward = SimdRealFft<Float8, 8>::forward;
        inverse = SimdRealFft<Float8, 8>::inverse;
        return;
    case 256:
        forward = SimdRealFft<Float8, 16>::forward;
        inverse = SimdRealFft<Float8, 16>::inverse;
        return;
    default:
        forward = SimdRealFft<Float8>::forward;
        inverse = SimdRealFft<Float8>::inverse;
        return;
    }
}

} // namespace realfft_simd
