#pragma once
// One channel's signal processor. Called on: the audio thread (process, reset).

class SpectralEngine;

class AUKernelBase {
public:
    explicit AUKernelBase(SpectralEngine& owner) : owner_(owner) {}
    virtual ~AUKernelBase() = default;
    virtual void reset() {}
    // input and output point at this channel's samples of the current piece; they may
    // be the same buffer.
    virtual void process(const float* input, float* output, int frames) = 0;

    AUKernelBase(const AUKernelBase&) = delete;
    AUKernelBase& operator=(const AUKernelBase&) = delete;

protected:
    SpectralEngine& owner_;
};
