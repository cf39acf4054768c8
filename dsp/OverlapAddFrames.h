#pragma once
// The input history and the overlap-add sum of one channel at 4x and 8x overlap. A frame
// starts every hop = N / overlap samples: it transforms the last N input samples, and its
// synthesised frame is added into the sum of the next N output samples. A sample thus leaves
// the wet path N samples after it came in, and the dry path reads the history N samples back,
// so both are as late as at 2x.
// Sized for the largest frame when made: nothing allocates afterwards.
// Called on: the audio thread only (after construction).

#include "dsp/AlignedFloats.h"

struct KernelLoops;

class OverlapAddFrames {
public:
    static constexpr int kCapacity = 4096;

    struct Gains {
        float input;
        float wet;
        float dry;
    };

    OverlapAddFrames();

    // Starts again from silence at frame size n (32..kCapacity) and hop (n/8..n/4): the first
    // frame comes one hop later.
    void start(int n, int hop);
    int hop() const { return hop_; }
    // Samples until the next frame starts: 0 when it is due.
    int untilFrame() const { return countdown_; }

    // For count samples (at most untilFrame()): the history gets input * input gain, the
    // output wet * sum + dry * the history N samples back; the sum's slots are emptied as they
    // are read. input and output may be the same buffer. False when any output sample is a
    // NaN or an infinity.
    bool mix(const KernelLoops& loops, const float* input, float* output, int count, Gains gains);

    // The frame that is due: the last N samples of the history, contiguous.
    const float* frame() const { return history_.data() + written_ - n_; }
    // Adds the due frame's synthesised samples (N of them) into the sum and starts the next hop.
    void addFrame(const KernelLoops& loops, const float* synthesised);

    // max |x| over the frame's input, and over the sum of the hop that follows the frame just
    // added (the wet output before the wet level).
    float framePeak(const KernelLoops& loops) const;
    float hopPeak(const KernelLoops& loops) const;

private:
    AlignedFloats history_;  // 2 kCapacity: the last N samples lie before written_, in [N, 2N)
    AlignedFloats sum_;      // kCapacity: a ring of N slots, the next output at read_
    AlignedFloats zeros_;    // the mix's second frame input, always silent
    int n_ = 0;
    int hop_ = 0;
    int written_ = 0;
    int read_ = 0;
    int countdown_ = 0;
};
