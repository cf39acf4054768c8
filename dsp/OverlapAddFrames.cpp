#include "dsp/OverlapAddFrames.h"

#include "dsp/KernelLoops.h"

#include <cstring>

namespace {

void clearFloats(float* to, int count) { std::memset(to, 0, static_cast<std::size_t>(count) * sizeof(float)); }

}  // namespace

OverlapAddFrames::OverlapAddFrames()
    : history_(2 * kCapacity), sum_(kCapacity), zeros_(kCapacity / 4)
{
}

void OverlapAddFrames::start(int n, int hop)
{
    n_ = n;
    hop_ = hop;
    clearFloats(history_.data(), 2 * n);
    clearFloats(sum_.data(), n);
    written_ = n;
    read_ = 0;
    countdown_ = hop;
}

bool OverlapAddFrames::mix(const KernelLoops& loops, const float* input, float* output, int count, Gains gains)
{
    // The mix of 2x with the sum as its one frame and silence as the other.
    float* fill = history_.data() + written_;
    const SampleMix samples{fill, fill - n_, sum_.data() + read_, zeros_.data(), gains.input, gains.wet, gains.dry};
    const bool finite = loops.mixSamples(samples, input, output, count);
    clearFloats(sum_.data() + read_, count);
    written_ += count;
    read_ += count;
    countdown_ -= count;
    return finite;
}

void OverlapAddFrames::addFrame(const KernelLoops& loops, const float* synthesised)
{
    // A hop divides N, so the history fills up and the ring wraps exactly at a frame.
    if (read_ == n_) {
        read_ = 0;
    }
    if (written_ == 2 * n_) {
        std::memcpy(history_.data(), history_.data() + n_, static_cast<std::size_t>(n_) * sizeof(float));
        written_ = n_;
    }
    const int tail = n_ - read_;
    loops.accumulate(sum_.data() + read_, synthesised, tail);
    loops.accumulate(sum_.data(), synthesised + tail, read_);
    countdown_ = hop_;
}

float OverlapAddFrames::framePeak(const KernelLoops& loops) const { return loops.largestMagnitude(frame(), n_); }

float OverlapAddFrames::hopPeak(const KernelLoops& loops) const
{
    return loops.largestMagnitude(sum_.data() + read_, hop_);
}
