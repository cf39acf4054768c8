// The eight-lane vector path (four lanes below N = 128), compiled with AVX2 and FMA enabled and
// fused multiply-adds allowed. RealFft selects it only after checking the CPU.

#include "dsp/SimdRealFft.h"

namespace {
typedef float Float4 __attribute__((vector_size(16)));
typedef float Float8 __attribute__((vector_size(32)));
} // namespace

namespace realfft_simd {

// Small sizes get their own instantiation with P fixed, so that their loops unroll.
void selectAvx2Fma(int n, RealFft::VectorEntryPoints& entry) noexcept
{
    switch (n) {
    case 32:
        entry = entryPointsOf<SimdRealFft<Float4, 4>>();
        return;
    case 64:
        entry = entryPointsOf<SimdRealFft<Float4, 8>>();
        return;
    case 128:
        entry = entryPointsOf<SimdRealFft<Float8, 8>>();
        return;
    case 256:
        entry = entryPointsOf<SimdRealFft<Float8, 16>>();
        return;
    default:
        entry = entryPointsOf<SimdRealFft<Float8>>();
        return;
    }
}

} // namespace realfft_simd
