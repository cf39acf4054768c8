#pragma once
// The short-time Fourier kernel of one channel: 50 % overlapping frames, square-root
// Hann analysis and synthesis windows, one real gain per bin, an optional spectral
// script per frame, and a dry path delayed by the same N samples as the wet one.
// Called on: the audio thread only (process, reset, the peak reads at block end).

#include "dsp/AUKernelBase.h"
#include "dsp/AlignedFloats.h"
#include "dsp/FrameLane.h"

#include <memory>

class CHalvardKernel final : public AUKernelBase {
public:
    CHalvardKernel(SpectralEngine& owner, int channel);
    ~CHalvardKernel() override;

    // Clears both lanes, the peaks and the frame size.
    void reset() override;
    void process(const float* input, float* output, int frames) override;

    int channel() const { return channel_; }
    float inputPeak() const { return inputPeak_; }
    float outputPeak() const { return outputPeak_; }
    const float* analysisSpectrum() const { return lanes_[0].analysis; }
    const float* workingSpectrum() const { return lanes_[0].working; }

private:
    void startSize(int fftSize);
    void runSamples(const float* input, float* output, int count);
    void processFrame(FrameLane& lane);
    void windowFrame(FrameLane& lane, const float* window, int n);
    void applyLevels(float* spectrum, int n);
    void synthesise(FrameLane& lane, const float* window, int n);

    int channel_;
    float inputPeak_ = 0.0f;
    float outputPeak_ = 0.0f;
    FrameLane* lanes_;  // two lanes, 16-byte aligned, owned
    int lastFrameSize_ = 0;
    AlignedFloats levels_;  // this frame's bin levels, copied once so that the loops can vectorise
};
