#pragma once
// The short-time Fourier kernel of one channel: 50 % overlapping frames with square-root
// Hann analysis and synthesis windows (the two lanes), or at 4x and 8x overlap frames every
// N/4 or N/8 samples with Hann windows (OverlapAddFrames); one real gain per bin, an optional
// spectral script per frame, and a dry path delayed by the same N samples as the wet one.
// Nothing non-finite leaves it: a stretch whose output holds a NaN or an infinity (from a
// host's bad sample, a script's NaN bin, a level that overflows) is silenced and the kernel
// starts again from silence, so the poison stays in no frame and no history.
// Called on: the audio thread only (process, reset, the peak reads at block end).

#include "dsp/AUKernelBase.h"
#include "dsp/AlignedFloats.h"
#include "dsp/FrameLane.h"
#include "dsp/OverlapAddFrames.h"

#include <memory>

class RealFft;
class SpectralScriptRunner;

class CHalvardKernel final : public AUKernelBase {
public:
    CHalvardKernel(SpectralEngine& owner, int channel);
    ~CHalvardKernel() override;

    // Clears both lanes, the peaks and the frame size: the next call starts from silence.
    void reset() override;
    void process(const float* input, float* output, int frames) override;

    int channel() const { return channel_; }
    float inputPeak() const { return inputPeak_; }
    float outputPeak() const { return outputPeak_; }
    // Lane 0's spectra before and after the levels and the script, for the display: at the end
    // of a block both are those of lane 0's last frame. Without a script the spectrum after
    // the levels is the analysis times the bin levels, which the display works out itself, so
    // no frame stores it: then workingSpectrum() is null.
    const float* analysisSpectrum() const { return lanes_[0].analysis; }
    const float* workingSpectrum() const { return scriptRan_ ? lanes_[0].working : nullptr; }

private:
    void startSize(int fftSize, int overlap);
    // Starts both lanes again from silence at frame size n, keeping the level copy.
    void clearFrames(int n);
    // What the frames of one process call share.
    struct FrameSetup {
        RealFft* transform;
        const float* window;
        const float* synthesis;         // the window times gain
        float gain;                     // output gain / N
        int n;
        SpectralScriptRunner* scripts;  // null when no script runs
        bool displayed;                 // the meters and spectra are shown
    };

    struct PieceContext;
    // The frame callback of the hop loop; context is the call's PieceContext.
    static void runFrame(void* context, int lane, int remaining, float inputPeak);
    // measurePeaks: the frame measures the peaks for the meters. inputPeak: the frame's input
    // peak, which the hop loop measures.
    void processFrame(const FrameSetup& setup, FrameLane& lane, bool measurePeaks, float inputPeak);
    // The 4x and 8x overlaps: the mix and the frames of one call, and one frame (lane 0's
    // buffers hold its spectra and synthesised samples, so the display reads them as at 2x).
    void processOverlapped(const float* input, float* output, int frames);
    FrameSetup overlappedSetup();
    void processOverlappedFrame(const FrameSetup& setup, bool measurePeaks);    // The working spectrum from the analysis: the script and the levels in the program's order.
    void runScriptAndLevels(FrameLane& lane, SpectralScriptRunner& scripts);
    // from and to may be the same buffer.
    void applyLevels(const float* from, float* to, int n);
    void refreshLevels(int n);
    // The synthesis window times gain, for n points, made again only when one of them changed.
    const float* synthesisWindow(const float* window, float gain, int n);

    int channel_;
    float inputPeak_ = 0.0f;
    float outputPeak_ = 0.0f;
    FrameLane* lanes_;  // two lanes, 16-byte aligned, owned
    int lastFrameSize_ = 0;
    int lastOverlap_ = 2;
    // The history and overlap-add sum of 4x and 8x (2x keeps them in the lanes).
    OverlapAddFrames overlapped_;
    bool scriptRan_ = false;  // in the last process call: the working spectrum holds its output
    // The input peaks of the previous and of the current half frame (see HopRun).
    float halfPeaks_[2] = {0.0f, 0.0f};
    // The bin levels L[0 .. N/2] copied from the program (other threads write them there) into
    // an aligned buffer for the level loop. Recopied when the program's level generation or
    // the frame size changes.
    AlignedFloats levels_;
    std::uint32_t copiedGeneration_ = 0;
    int copiedSize_ = 0;
    // The synthesis window times the output gain / N, so that each output sample takes one
    // product; with what it was made from.
    AlignedFloats synthesis_;
    const float* synthesisFrom_ = nullptr;
    float synthesisGain_ = 0.0f;
    int synthesisSize_ = 0;
};
