#pragma once
// The per-chunk snapshot of the settings the kernels use. Written by the audio thread at
// the start of every piece of a block; read only by the audio thread.

#include <atomic>
#include <cstdint>

struct BlockParameters {
    std::int32_t sizeIndex = 0;     // 0..7, always clamped
    std::int32_t fftSize = 32;      // 32 << sizeIndex
    std::int32_t overlap = 2;       // frames per frame length: 2, 4 or 8 (a hop of fftSize / overlap)
    bool scriptBefore = false;      // run the spectral script before the levels
    std::int32_t scriptIndex = 0;   // 0: no script
    const float* levels = nullptr;  // the program's 2049 bin levels, read live
    // Counts writes to the bin levels: the kernel recopies them only when it moved.
    const std::atomic<std::uint32_t>* levelsGeneration = nullptr;
    float dryGain = 0.0f;
    float wetGain = 0.0f;
    float inputGain = 0.0f;
    float outputGain = 0.0f;
    // Someone shows the meters and spectra (an editor is open): only then do frames measure the
    // output peak for the meters. The sound is the same either way.
    bool displayed = true;
};
