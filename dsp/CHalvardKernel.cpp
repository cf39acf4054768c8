#include "dsp/CHalvardKernel.h"

#include "dsp/SpectralEngine.h"
#include "dsp/SpectralScriptRunner.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr std::align_val_t kLaneAlignment{32};

// Bin levels are written by other threads while frames run; a relaxed load is a plain
// load on the hardware and keeps the race well-defined.
inline float liveLevel(const float* levels, int k)
{
    return std::atomic_ref<float>(const_cast<float&>(levels[k])).load(std::memory_order_relaxed);
}

}  // namespace

CHalvardKernel::CHalvardKernel(SpectralEngine& owner, int channel)
    : AUKernelBase(owner),
      channel_(channel),
      lanes_(static_cast<FrameLane*>(::operator new(2 * sizeof(FrameLane), kLaneAlignment)))
{
    std::memset(static_cast<void*>(lanes_), 0, 2 * sizeof(FrameLane));
}

CHalvardKernel::~CHalvardKernel() { ::operator delete(lanes_, kLaneAlignment); }

void CHalvardKernel::reset()
{
    std::memset(static_cast<void*>(lanes_), 0, 2 * sizeof(FrameLane));
    inputPeak_ = 0.0f;
    outputPeak_ = 0.0f;
    lastFrameSize_ = 0;
}

void CHalvardKernel::startSize(int fftSize)
{
    reset();
    lastFrameSize_ = fftSize;
    // Lane 0 transforms a frame of silence at once; lane 1 follows N/2 samples later.
    lanes_[1].countdown = static_cast<std::uint32_t>(fftSize / 2);
}

void CHalvardKernel::process(const float* input, float* output, int frames)
{
    const int n = owner_.block().fftSize;
    if (n != lastFrameSize_) {
        startSize(n);
    }
    while (frames > 0) {
        const int h = static_cast<int>(
            std::min({lanes_[0].countdown, lanes_[1].countdown, static_cast<std::uint32_t>(frames)}));
        runSamples(input, output, h);
        input += h;
        output += h;
        frames -= h;
        lanes_[0].countdown -= static_cast<std::uint32_t>(h);
        lanes_[1].countdown -= static_cast<std::uint32_t>(h);
        for (int l = 0; l < 2; ++l) {
            if (lanes_[l].countdown == 0) {
                processFrame(lanes_[l]);
            }
        }
    }
}

void CHalvardKernel::runSamples(const float* input, float* output, int count)
{
    const BlockParameters& block = owner_.block();
    const int n = block.fftSize;
    FrameLane& lane0 = lanes_[0];
    FrameLane& lane1 = lanes_[1];
    const int p0 = n - static_cast<int>(lane0.countdown);
    const int p1 = n - static_cast<int>(lane1.countdown);
    float* fill0 = lane0.input[1 - lane0.fillSelector] + p0;
    float* fill1 = lane1.input[1 - lane1.fillSelector] + p1;
    const float* previous0 = lane0.input[lane0.fillSelector] + p0;
    const float* out0 = lane0.output + p0;
    const float* out1 = lane1.output + p1;
    const float inputGain = block.inputGain;
    const float wet = block.wetGain;
    const float dry = block.dryGain;
    for (int j = 0; j < count; ++j) {
        const float x = input[j] * inputGain;
        fill0[j] = x;
        fill1[j] = x;
        output[j] = wet * (out0[j] + out1[j]) + dry * previous0[j];
    }
}

void CHalvardKernel::processFrame(FrameLane& lane)
{
    const BlockParameters& block = owner_.block();
    const int n = block.fftSize;
    const float* window = owner_.window(block.sizeIndex);

    windowFrame(lane, window, n);
    owner_.transform(block.sizeIndex).forward(lane.windowed, lane.analysis);
    std::memcpy(lane.working, lane.analysis, static_cast<std::size_t>(n) * sizeof(float));

    SpectralScriptRunner* scripts = owner_.scriptRunner();
    const bool runScript = block.scriptIndex != 0 && scripts != nullptr;
    if (runScript && block.scriptBefore) {
        scripts->runSpectralScript(block.scriptIndex, lane.working, n);
    }
    applyLevels(lane.working, n);
    if (runScript && !block.scriptBefore) {
        scripts->runSpectralScript(block.scriptIndex, lane.working, n);
    }

    owner_.transform(block.sizeIndex).inverse(lane.working, lane.output);
    synthesise(lane, window, n);
    lane.countdown = static_cast<std::uint32_t>(n);
    lane.fillSelector = 1 - lane.fillSelector;
}

void CHalvardKernel::windowFrame(FrameLane& lane, const float* window, int n)
{
    const float* filled = lane.input[1 - lane.fillSelector];
    float peak = 0.0f;
    for (int i = 0; i < n; ++i) {
        peak = std::max(peak, std::fabs(filled[i]));
        lane.windowed[i] = filled[i] * window[i];
    }
    inputPeak_ = peak;
}

void CHalvardKernel::applyLevels(float* f, int n)
{
    const float* levels = owner_.block().levels;
    const int half = n / 2;
    f[0] *= liveLevel(levels, 0);
    for (int k = 1; k < half; ++k) {
        const float level = liveLevel(levels, k);
        f[k] *= level;
        f[half + k] *= level;
    }
    f[half] *= liveLevel(levels, half);
}

void CHalvardKernel::synthesise(FrameLane& lane, const float* window, int n)
{
    const float gain = owner_.block().outputGain / static_cast<float>(n);
    float peak = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float y = lane.output[i] * gain;
        peak = std::max(peak, std::fabs(y));
        lane.output[i] = y * window[i];
    }
    outputPeak_ = peak;
}
