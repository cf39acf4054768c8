#include "dsp/CHalvardKernel.h"

#include "dsp/HannWindow.h"
#include "dsp/SpectralEngine.h"
#include "dsp/SpectralScriptRunner.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr std::align_val_t kLaneAlignment{32};

// Bin levels are written by other threads while frames run; a relaxed load is a plain
// load on the hardware and keeps the race well-defined.
inline float liveLevel(const float* levels, int k)
{
    return std::atomic_ref<float>(const_cast<float&>(levels[k])).load(std::memory_order_relaxed);
}

// Peaks are never NaN (see RealFft), but may be infinite.
inline float finiteOrZero(float peak) { return peak <= std::numeric_limits<float>::max() ? peak : 0.0f; }

}  // namespace

CHalvardKernel::CHalvardKernel(SpectralEngine& owner, int channel)
    : AUKernelBase(owner),
      channel_(channel),
      lanes_(static_cast<FrameLane*>(::operator new(2 * sizeof(FrameLane), kLaneAlignment))),
      levels_(FrameLane::kCapacity / 2 + 4),
      synthesis_(FrameLane::kCapacity)
{
    std::memset(static_cast<void*>(lanes_), 0, 2 * sizeof(FrameLane));
}

CHalvardKernel::~CHalvardKernel() { ::operator delete(lanes_, kLaneAlignment); }

void CHalvardKernel::reset()
{
    std::memset(static_cast<void*>(lanes_), 0, 2 * sizeof(FrameLane));
    inputPeak_ = 0.0f;
    outputPeak_ = 0.0f;
    halfPeaks_[0] = halfPeaks_[1] = 0.0f;
    lastFrameSize_ = 0;
    copiedSize_ = 0;
}

void CHalvardKernel::startSize(int fftSize, int overlap)
{
    reset();
    lastFrameSize_ = fftSize;
    lastOverlap_ = overlap;
    if (overlap != 2) {
        overlapped_.start(fftSize, fftSize / overlap);
    }
    // Lane 0 transforms a frame of silence at once; lane 1 follows N/2 samples later.
    lanes_[1].countdown = static_cast<std::uint32_t>(fftSize / 2);
}

void CHalvardKernel::clearFrames(int n)
{
    // What a frame of size n reads: the same state as startSize, without clearing the whole
    // capacity, since a script that keeps writing NaNs brings the kernel here every frame.
    const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(float);
    for (int l = 0; l < 2; ++l) {
        FrameLane& lane = lanes_[l];
        std::memset(lane.input[0], 0, bytes);
        std::memset(lane.input[1], 0, bytes);
        std::memset(lane.analysis, 0, bytes);
        std::memset(lane.working, 0, bytes);
        std::memset(lane.output, 0, bytes);
        lane.fillSelector = 0;
    }
    lanes_[0].countdown = 0;
    lanes_[1].countdown = static_cast<std::uint32_t>(n / 2);
    inputPeak_ = 0.0f;
    outputPeak_ = 0.0f;
    halfPeaks_[0] = halfPeaks_[1] = 0.0f;
}

// What the frame callback of one process call needs.
struct CHalvardKernel::PieceContext {
    CHalvardKernel* kernel;
    const FrameSetup* setup;
};

void CHalvardKernel::process(const float* input, float* output, int frames)
{
    const BlockParameters& block = owner_.block();
    const int n = block.fftSize;
    if (n != lastFrameSize_ || block.overlap != lastOverlap_) {
        startSize(n, block.overlap);
    }
    if (block.overlap != 2) {
        processOverlapped(input, output, frames);
        return;
    }
    SpectralScriptRunner* scripts = owner_.scriptRunner();
    // The block parameters hold still within a piece, so every frame of this call shares these.
    const float* window = owner_.window(block.sizeIndex);
    const float gain = block.outputGain / static_cast<float>(n);
    const FrameSetup setup{&owner_.transform(block.sizeIndex),
                           window,
                           synthesisWindow(window, gain, n),
                           gain,
                           n,
                           block.scriptIndex != 0 ? scripts : nullptr,
                           block.displayed};
    if (setup.scripts == nullptr) {
        refreshLevels(n);
    }
    scriptRan_ = setup.scripts != nullptr;
    PieceContext context{this, &setup};
    const RealFft::QuietFrameSteps noQuietFrames{nullptr, nullptr, nullptr};
    const HopRun run{lanes_,
                     n,
                     block.inputGain,
                     block.wetGain,
                     block.dryGain,
                     halfPeaks_,
                     &CHalvardKernel::runFrame,
                     &context,
                     setup.scripts == nullptr ? setup.transform->quietFrameSteps() : noQuietFrames,
                     setup.window,
                     levels_.data(),
                     setup.synthesis,
                     setup.gain};
    const KernelLoops& loops = owner_.loops();
    while (frames > 0) {
        int poisoned = 0;
        const int done = loops.runHops(run, input, output, frames, poisoned);
        input += done;
        output += done;
        frames -= done;
        if (poisoned != 0) {
            std::memset(output - poisoned, 0, static_cast<std::size_t>(poisoned) * sizeof(float));
            clearFrames(n);
            owner_.noteNonFinite();
        }
    }
}

void CHalvardKernel::runFrame(void* context, int lane, int remaining, float inputPeak)
{
    const PieceContext& piece = *static_cast<const PieceContext*>(context);
    CHalvardKernel& kernel = *piece.kernel;
    // The meters read the peaks of the last frame of each block only, so only a frame that no
    // other frame of this piece follows measures them.
    const bool last = remaining < static_cast<int>(kernel.lanes_[1 - lane].countdown);
    kernel.processFrame(*piece.setup, kernel.lanes_[lane], last, inputPeak);
}

void CHalvardKernel::processFrame(const FrameSetup& setup, FrameLane& lane, bool measurePeaks, float inputPeak)
{
    const int n = setup.n;
    // The window is applied as the transform reads the frame. Only lane 0 keeps the input: lane
    // 1 frames when lane 0 is half way through its frame, so its frame is the second half of
    // lane 0's previous frame followed by the first half of lane 0's current one.
    const FrameLane& history = lanes_[0];
    const float* current = history.input[1 - history.fillSelector];
    const float* firstHalf = &lane == &history ? current : history.input[history.fillSelector] + n / 2;
    const float* secondHalf = &lane == &history ? current + n / 2 : current;
    RealFft& transform = *setup.transform;
    transform.forwardWindowed(firstHalf, secondHalf, setup.window, lane.analysis, false);

    // The input peak comes free with the mix; the output peak costs a part of the transform and
    // only the meters of an open editor show it.
    const bool measureOutput = measurePeaks && setup.displayed;
    float outputPeak = 0.0f;
    if (setup.scripts != nullptr) {
        runScriptAndLevels(lane, *setup.scripts);
        outputPeak = transform.inverseWindowed(lane.working, setup.synthesis, setup.gain, lane.output, measureOutput);
    } else {
        // Without a script the inverse transform applies the levels (copied once per call) as
        // it reads the analysis spectrum, and the leveled spectrum is stored nowhere.
        outputPeak = transform.inverseLeveledWindowed(lane.analysis, levels_.data(), nullptr, setup.synthesis,
                                                      setup.gain, lane.output, measureOutput);
    }
    if (measurePeaks) {
        // A frame with an infinity in or out is cleared when it reaches the output, but the
        // meters may read its peaks first, and a meter that once holds an infinity never decays.
        inputPeak_ = finiteOrZero(inputPeak);
    }
    if (measureOutput) {
        outputPeak_ = finiteOrZero(outputPeak);
    }
    lane.countdown = static_cast<std::uint32_t>(n);
    lane.fillSelector = 1 - lane.fillSelector;
}

CHalvardKernel::FrameSetup CHalvardKernel::overlappedSetup()
{
    const BlockParameters& block = owner_.block();
    const int n = block.fftSize;
    const float* window = owner_.hannWindow(block.sizeIndex);
    // The frames overlapping at a sample sum to hannSquaredOverlapSum times the input.
    const float gain = block.outputGain / (static_cast<float>(n) * hannSquaredOverlapSum(block.overlap));
    return FrameSetup{&owner_.transform(block.sizeIndex),
                      window,
                      synthesisWindow(window, gain, n),
                      gain,
                      n,
                      block.scriptIndex != 0 ? owner_.scriptRunner() : nullptr,
                      block.displayed};
}

void CHalvardKernel::processOverlapped(const float* input, float* output, int frames)
{
    const BlockParameters& block = owner_.block();
    const FrameSetup setup = overlappedSetup();
    if (setup.scripts == nullptr) {
        refreshLevels(setup.n);
    }
    scriptRan_ = setup.scripts != nullptr;
    const OverlapAddFrames::Gains gains{block.inputGain, block.wetGain, block.dryGain};
    while (frames > 0) {
        const int count = std::min(frames, overlapped_.untilFrame());
        if (!overlapped_.mix(owner_.loops(), input, output, count, gains)) {
            // Only the history and the sum carry anything from frame to frame: a script that
            // keeps writing NaNs brings the kernel here every hop.
            std::memset(output, 0, static_cast<std::size_t>(count) * sizeof(float));
            overlapped_.start(setup.n, overlapped_.hop());
            inputPeak_ = 0.0f;
            outputPeak_ = 0.0f;
            owner_.noteNonFinite();
        } else if (overlapped_.untilFrame() == 0) {
            // The meters read the peaks of the last frame of each piece.
            processOverlappedFrame(setup, frames - count < overlapped_.hop());
        }
        input += count;
        output += count;
        frames -= count;
    }
}

void CHalvardKernel::processOverlappedFrame(const FrameSetup& setup, bool measurePeaks)
{
    FrameLane& lane = lanes_[0];
    const float* frame = overlapped_.frame();
    RealFft& transform = *setup.transform;
    transform.forwardWindowed(frame, frame + setup.n / 2, setup.window, lane.analysis, false);
    if (setup.scripts != nullptr) {
        runScriptAndLevels(lane, *setup.scripts);
        transform.inverseWindowed(lane.working, setup.synthesis, setup.gain, lane.output, false);
    } else {
        transform.inverseLeveledWindowed(lane.analysis, levels_.data(), nullptr, setup.synthesis, setup.gain,
                                         lane.output, false);
    }
    const KernelLoops& loops = owner_.loops();
    overlapped_.addFrame(loops, lane.output);
    if (measurePeaks) {
        inputPeak_ = finiteOrZero(overlapped_.framePeak(loops));
        if (setup.displayed) {
            outputPeak_ = finiteOrZero(overlapped_.hopPeak(loops));
        }
    }
}

void CHalvardKernel::runScriptAndLevels(FrameLane& lane, SpectralScriptRunner& scripts)
{
    const BlockParameters& block = owner_.block();
    const int n = block.fftSize;
    if (block.scriptBefore) {
        std::memcpy(lane.working, lane.analysis, static_cast<std::size_t>(n) * sizeof(float));
        scripts.runSpectralScript(block.scriptIndex, lane.working, n, block.overlap);
        applyLevels(lane.working, lane.working, n);
    } else {
        // The analysis spectrum stays as it is for the display; the levels write the copy.
        applyLevels(lane.analysis, lane.working, n);
        scripts.runSpectralScript(block.scriptIndex, lane.working, n, block.overlap);
    }
}

void CHalvardKernel::refreshLevels(int n)
{
    const BlockParameters& block = owner_.block();
    const std::uint32_t generation =
        block.levelsGeneration ? block.levelsGeneration->load(std::memory_order_acquire) : copiedGeneration_ + 1;
    if (generation == copiedGeneration_ && n == copiedSize_) {
        return;
    }
    // Read the generation first: a level written while copying moves it again, so the
    // next frame copies once more.
    const float* live = block.levels;
    float* copy = levels_.data();
    for (int k = 0; k <= n / 2; ++k) {
        copy[k] = liveLevel(live, k);
    }
    copiedGeneration_ = generation;
    copiedSize_ = n;
}

const float* CHalvardKernel::synthesisWindow(const float* window, float gain, int n)
{
    // The output gain moves with automation, so this may run every block: n products.
    if (window != synthesisFrom_ || gain != synthesisGain_ || n != synthesisSize_) {
        float* scaled = synthesis_.data();
        for (int i = 0; i < n; ++i) {
            scaled[i] = gain * window[i];
        }
        synthesisFrom_ = window;
        synthesisGain_ = gain;
        synthesisSize_ = n;
    }
    return synthesis_.data();
}

void CHalvardKernel::applyLevels(const float* from, float* to, int n)
{
    refreshLevels(n);
    owner_.loops().applyLevels(from, levels_.data(), to, n);
}
