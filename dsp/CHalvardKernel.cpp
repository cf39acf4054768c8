#include "dsp/CHalvardKernel.h"

#include "dsp/SpectralEngine.h"
#include "dsp/SpectralScriptRunner.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
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

// Four floats at a time. The frame sizes are multiples of 4 and the lanes and windows are
// 16-byte aligned; host buffers are not, so every access goes through unaligned loads.
typedef float Float4 __attribute__((vector_size(16)));
typedef std::int32_t Int4 __attribute__((vector_size(16)));

inline Float4 load4(const float* p)
{
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store4(float* p, Float4 v) { std::memcpy(p, &v, sizeof v); }

inline Float4 absolute4(Float4 v) { return reinterpret_cast<Float4>(reinterpret_cast<Int4>(v) & 0x7fffffff); }

// std::max(peak, v) per lane: a NaN in v never replaces the peak.
inline Float4 max4(Float4 peak, Float4 v) { return peak < v ? v : peak; }

inline float largestLane(Float4 v)
{
    return std::max(std::max(v[0], v[1]), std::max(v[2], v[3]));
}

}  // namespace

CHalvardKernel::CHalvardKernel(SpectralEngine& owner, int channel)
    : AUKernelBase(owner),
      channel_(channel),
      lanes_(static_cast<FrameLane*>(::operator new(2 * sizeof(FrameLane), kLaneAlignment))),
      levels_(FrameLane::kCapacity / 2 + 4),
      secondHalfLevels_(FrameLane::kCapacity / 2 + 4)
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
    copiedSize_ = 0;
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
    int j = 0;
    for (; j + 4 <= count; j += 4) {
        const Float4 x = load4(input + j) * inputGain;
        store4(fill0 + j, x);
        store4(fill1 + j, x);
        store4(output + j, wet * (load4(out0 + j) + load4(out1 + j)) + dry * load4(previous0 + j));
    }
    for (; j < count; ++j) {
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
    Float4 peak{};
    for (int i = 0; i < n; i += 4) {
        const Float4 x = load4(filled + i);
        peak = max4(peak, absolute4(x));
        store4(lane.windowed + i, x * load4(window + i));
    }
    inputPeak_ = largestLane(peak);
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
    const int half = n / 2;
    float* first = levels_.data();
    float* second = secondHalfLevels_.data();
    for (int k = 0; k < half; ++k) {
        first[k] = second[k] = liveLevel(live, k);
    }
    second[0] = liveLevel(live, half);
    copiedGeneration_ = generation;
    copiedSize_ = n;
}

void CHalvardKernel::applyLevels(float* f, int n)
{
    refreshLevels(n);
    const int half = n / 2;
    const float* first = levels_.data();
    const float* second = secondHalfLevels_.data();
    for (int k = 0; k < half; k += 4) {
        store4(f + k, load4(f + k) * load4(first + k));
    }
    for (int k = 0; k < half; k += 4) {
        store4(f + half + k, load4(f + half + k) * load4(second + k));
    }
}

void CHalvardKernel::synthesise(FrameLane& lane, const float* window, int n)
{
    const float gain = owner_.block().outputGain / static_cast<float>(n);
    Float4 peak{};
    for (int i = 0; i < n; i += 4) {
        const Float4 y = load4(lane.output + i) * gain;
        peak = max4(peak, absolute4(y));
        store4(lane.output + i, y * load4(window + i));
    }
    outputPeak_ = largestLane(peak);
}
