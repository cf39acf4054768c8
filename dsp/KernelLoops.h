#pragma once
// The kernel's sample loops (bin levels when a script runs, and the per-sample mix; the windows,
// and the levels without a script, are applied inside the transforms), compiled once per vector
// width. Four lanes run on any
// CPU; eight lanes need AVX2 and are chosen only after a run-time check. Both widths compute
// every sample with the same operations in the same order (no fused multiply-adds), so their
// results are identical bit for bit.

#include <cstddef>

// What the per-sample loop reads and writes for one stretch of samples.
struct SampleMix {
    float* fill;              // the input history being filled (lane 0's current frame)
    const float* previous0;   // lane 0's previous frame: the dry path, delayed by N
    const float* out0;        // the lanes' synthesised frames, overlapped
    const float* out1;
    float inputGain;
    float wetGain;
    float dryGain;
};

struct KernelLoops {
    enum class Width { Four, Eight };

    // to = from * levels over a packed spectrum of n floats: bin k (its real part f[k] and its
    // imaginary part f[n/2 + k]) times levels[k]; DC times levels[0] and Nyquist (f[n/2]) times
    // levels[n/2], so levels holds n/2 + 1 values. from and to may be the same buffer.
    void (*applyLevels)(const float* from, const float* levels, float* to, int n);
    // For each of count samples: the fill gets input * inputGain, the output gets
    // wet * (out0 + out1) + dry * previous0. input and output may be the same buffer.
    // Returns false when any output sample is a NaN or an infinity (the fill is not looked at).
    bool (*mixSamples)(const SampleMix& mix, const float* input, float* output, int count);

    // True when this CPU (and this build) runs the width.
    static bool machineRuns(Width width) noexcept;
    // The widest loops the CPU runs.
    static KernelLoops fastest() noexcept;
    // The loops of one width; four lanes where the CPU cannot run the width asked for.
    static KernelLoops of(Width width) noexcept;
};
