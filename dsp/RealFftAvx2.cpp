// The eight-lane vector path (four lanes below N = 128), compiled with AVX2 and FMA enabled and
// fused multiply-adds allowed. RealFft selects it only after checking the CPU.

#include "dsp/SimdRealFft.h"

namespace {
typedef float Float4 __attribute__((vector_size(16)));
typedef float Float8 __attribute__((vector_size(32)));
struct Avx2Fma {};
} // namespace

namespace realfft_simd {

void selectAvx2Fma(int n, RealFft::VectorEntryPoints& entry) noexcept
{
    entry = n < 128 ? entryPointsFor<Float4, Avx2Fma>(n) : entryPointsFor<Float8, Avx2Fma>(n);
}

} // namespace realfft_simd
