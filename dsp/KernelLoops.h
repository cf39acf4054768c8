#pragma once
// The kernel's sample loops (windowing with the input peak, bin levels, synthesis with the
// output peak, and the per-sample mix), compiled once per vector width. Four lanes run on any
// CPU; eight lanes need AVX2 and are chosen only after a run-time check. Both widths compute
// every sample with the same operations in the same order (no fused multiply-adds), so their
// results are identical bit for bit.

#include <cstddef>

// What the per-sample loop reads and writes for one stretch of samples.
struct SampleMix {
    float* fill0;             // lane 0's frame being filled
    float* fill1;             // lane 1's frame being filled
    const float* previous0;   // lane 0's previous frame: the dry path, delayed by N
    const float* out0;        // the lanes' synthesised frames, overlapped
    const float* out1;
    float inputGain;
    float wetGain;
    float dryGain;
};

struct KernelLoops {
    enum class Width { Four, Eight };

    // windowed = input * window over n floats (n a multiple of 32); returns max |input|.
    float (*windowFrame)(const float* input, const float* window, float* windowed, int n);
    // to = from * levels over a packed spectrum of n floats: first[k] for the first half,
    // second[k] for the second; from and to may be the same buffer.
    void (*applyLevels)(const float* from, const float* first, const float* second, float* to, int n);
    // frame = frame * gain * window over n floats (n a multiple of 32); returns max |frame * gain|.
    float (*synthesise)(float* frame, const float* window, float gain, int n);
    // For each of count samples: both fills get input * inputGain, the output gets
    // wet * (out0 + out1) + dry * previous0. input and output may be the same buffer.
    void (*mixSamples)(const SampleMix& mix, const float* input, float* output, int count);

    // True when this CPU (and this build) runs the width.
    static bool machineRuns(Width width) noexcept;
    // The widest loops the CPU runs.
    static KernelLoops fastest() noexcept;
    // The loops of one width; four lanes where the CPU cannot run the width asked for.
    static KernelLoops of(Width width) noexcept;
};
