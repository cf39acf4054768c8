#include "dsp/SpectralEngine.h"

#include "dsp/SqrtHannWindow.h"

void SpectralEngine::makeTransforms()
{
    for (int k = 0; k < kSizeCount; ++k) {
        const int n = 32 << k;
        transforms_[static_cast<std::size_t>(k)] = std::make_unique<RealFft>(n);
        windows_[static_cast<std::size_t>(k)] = makeSqrtHannWindow(n);
    }
}

void SpectralEngine::releaseTransforms()
{
    for (int k = 0; k < kSizeCount; ++k) {
        transforms_[static_cast<std::size_t>(k)].reset();
        windows_[static_cast<std::size_t>(k)] = AlignedFloats();
    }
}
