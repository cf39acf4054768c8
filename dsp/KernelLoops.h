#pragma once
// The kernel's sample loops (bin levels when a script runs, and the hop loop: the per-sample
// mix between frames, with the frames it starts; the windows, and the levels without a script,
// are applied inside the transforms), compiled once per vector width. Four lanes run on any
// CPU; eight lanes need AVX2 and are chosen only after a run-time check. Both widths compute
// every sample with the same operations in the same order (no fused multiply-adds), so their
// results are identical bit for bit.

#include "dsp/RealFft.h"

#include <cstddef>

struct FrameLane;

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

// One process call's walk over its samples: the mix between frames, and a lane's frame
// whenever its countdown reaches zero.
struct HopRun {
    FrameLane* lanes;  // the kernel's two lanes
    int n;             // frame size
    float inputGain;
    float wetGain;
    float dryGain;
    // The input peaks (max |fill sample|) of the previous and of the current half frame, kept
    // by the kernel from call to call.
    float* halfPeaks;
    // Runs lane's frame (its countdown has reached zero); remaining: the samples of the piece
    // still to come after this point; inputPeak: max |x| over the frame's input.
    void (*frame)(void* context, int lane, int remaining, float inputPeak);
    void* context;
    // A frame that measures no peak (N or more samples of the
    // piece follow it) runs here without the callback when there is no script: these steps
    // (null forward: always call back), the analysis window, the levels, the synthesis window
    // times the output gain / N, and that gain.
    RealFft::QuietFrameSteps quiet;
    const float* window;
    const float* levels;
    const float* synthesis;
    float gain;
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
    // Mixes up to count samples, stretch by stretch, running each lane's frame when its
    // countdown reaches zero, and stops after the first stretch whose output is not finite.
    // Returns the samples done; poisoned is the length of that last, non-finite stretch (its
    // countdowns not advanced, its frames not run), or 0.
    int (*runHops)(const HopRun& run, const float* input, float* output, int count, int& poisoned);
    // The 4x and 8x overlaps: to[i] += from[i] for count samples (the overlap-add of a frame),
    // and max |x[i]| over count samples, a NaN never winning (the meters' frame peak).
    void (*accumulate)(float* to, const float* from, int count);
    float (*largestMagnitude)(const float* x, int count);

    // True when this CPU (and this build) runs the width.
    static bool machineRuns(Width width) noexcept;
    // The widest loops the CPU runs.
    static KernelLoops fastest() noexcept;
    // The loops of one width; four lanes where the CPU cannot run the width asked for.
    static KernelLoops of(Width width) noexcept;
};
