#include "dsp/SpectralEngine.h"

#include "dsp/HannWindow.h"
#include "dsp/SqrtHannWindow.h"

#include <algorithm>
#include <cstdio>

void SpectralEngine::makeTransforms()
{
    for (int k = 0; k < kSizeCount; ++k) {
        const int n = 32 << k;
        transforms_[static_cast<std::size_t>(k)] = std::make_unique<RealFft>(n);
        windows_[static_cast<std::size_t>(k)] = makeSqrtHannWindow(n);
        hannWindows_[static_cast<std::size_t>(k)] = makeHannWindow(n);
    }
}

void SpectralEngine::releaseTransforms()
{
    for (int k = 0; k < kSizeCount; ++k) {
        transforms_[static_cast<std::size_t>(k)].reset();
        windows_[static_cast<std::size_t>(k)] = AlignedFloats();
        hannWindows_[static_cast<std::size_t>(k)] = AlignedFloats();
    }
}

void SpectralEngine::reportNonFinite(int samples)
{
    const std::int64_t since = static_cast<std::int64_t>(samplesSinceReport_) + std::max(samples, 0);
    samplesSinceReport_ = static_cast<int>(std::min<std::int64_t>(since, kReportInterval));
    if (unreportedClears_ == 0 || samplesSinceReport_ < kReportInterval || reportLine_ == nullptr) {
        return;
    }
    // Formatted on the stack: the audio thread must not allocate.
    char line[128];
    std::snprintf(line, sizeof line,
                  "SpectralEngine: non-finite samples (NaN or infinity); kernel cleared and output silenced %u time%s\n",
                  unreportedClears_, unreportedClears_ == 1 ? "" : "s");
    reportLine_(reportContext_, line);
    unreportedClears_ = 0;
    samplesSinceReport_ = 0;
}
