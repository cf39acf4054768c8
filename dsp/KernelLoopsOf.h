#pragma once
// The kernel's loops over a GCC vector type V of W floats; instantiated in KernelLoops.cpp
// (four lanes) and KernelLoopsAvx2.cpp (eight lanes). Host buffers are not aligned, so every
// access is an unaligned load or store. No loop has a branch or a division inside. Nothing
// here calls a library template: an out-of-line copy compiled for AVX2 could otherwise be
// picked by the linker for the four-lane code too.

#include "dsp/FrameLane.h"
#include "dsp/KernelLoops.h"

#include <cstdint>
#include <cstring>

template <typename V>
class KernelLoopsOf {
public:
    static constexpr int kWidth = sizeof(V) / sizeof(float);
    // The same lanes as integers (a comparison of two V gives that type).
    using Bits = decltype(V{} < V{});
    static_assert(sizeof(Bits) == sizeof(V));

    static KernelLoops loops() noexcept
    {
        return {applyLevels, mixSamples, runHops, accumulate, largestMagnitude};
    }

    static void applyLevels(const float* from, const float* levels, float* to, int n)
    {
        const int half = n / 2;
        // Slot n/2 holds the Nyquist bin, not an imaginary part: it takes levels[n/2], set
        // after the loop that treats it like the others (read first: to may be from).
        const float nyquist = from[half] * levels[half];
        for (int k = 0; k < half; k += kWidth) {
            store(to + k, load(from + k) * load(levels + k));
        }
        for (int k = 0; k < half; k += kWidth) {
            store(to + half + k, load(from + half + k) * load(levels + k));
        }
        to[half] = nyquist;
    }

    // The mix is inlined here, so that a hop of a small frame costs no call and no set-up
    // beyond its samples: at N = 32 a hop is 16 samples next to a transform pair of about 40 ns.
    // The frame's input peak is measured here too, where the mix reads every sample anyway.
    [[gnu::flatten]] static int runHops(const HopRun& run, const float* input, float* output, int count, int& poisoned)
    {
        FrameLane& lane0 = run.lanes[0];
        FrameLane& lane1 = run.lanes[1];
        const std::uint32_t n = static_cast<std::uint32_t>(run.n);
        float* const halfPeaks = run.halfPeaks;
        int done = 0;
        while (done < count) {
            const std::uint32_t countdown0 = lane0.countdown;
            const std::uint32_t countdown1 = lane1.countdown;
            const std::uint32_t left = static_cast<std::uint32_t>(count - done);
            std::uint32_t h = countdown0 < countdown1 ? countdown0 : countdown1;
            h = h < left ? h : left;
            const std::uint32_t p0 = n - countdown0;
            const SampleMix mix{lane0.input[1 - lane0.fillSelector] + p0,
                                lane0.input[lane0.fillSelector] + p0,
                                lane0.output + p0,
                                lane1.output + (n - countdown1),
                                run.inputGain,
                                run.wetGain,
                                run.dryGain};
            const int stretch = static_cast<int>(h);
            float peak = halfPeaks[1];
            const bool finite = mixStretch(mix, input + done, output + done, stretch, peak);
            done += stretch;
            if (!finite) {
                poisoned = stretch;
                return done;
            }
            halfPeaks[1] = peak;
            lane0.countdown = countdown0 - h;
            lane1.countdown = countdown1 - h;
            if (countdown0 == h || countdown1 == h) {
                // Frames start every N/2 samples, so a frame's input is the last two halves.
                const float framePeak = larger(halfPeaks[0], peak);
                halfPeaks[0] = peak;
                halfPeaks[1] = 0.0f;
                const int lane = countdown0 == h ? 0 : 1;
                if (run.quiet.forward != nullptr && count - done >= run.n) {
                    quietFrame(run, lane == 0 ? lane0 : lane1, lane0);
                    if (!quietHops(run, input, output, count, done, poisoned)) {
                        return done;
                    }
                } else {
                    run.frame(run.context, lane, count - done, framePeak);
                }
            }
        }
        poisoned = 0;
        return done;
    }

    static bool mixSamples(const SampleMix& mix, const float* input, float* output, int count)
    {
        float peak = 0.0f;
        return mixStretch(mix, input, output, count, peak);
    }

    static void accumulate(float* to, const float* from, int count)
    {
        int j = 0;
        for (; j + kWidth <= count; j += kWidth) {
            store(to + j, load(to + j) + load(from + j));
        }
        for (; j < count; ++j) {
            to[j] += from[j];
        }
    }

    static float largestMagnitude(const float* x, int count)
    {
        V peaks = V{};
        int j = 0;
        for (; j + kWidth <= count; j += kWidth) {
            const V magnitude = reinterpret_cast<V>(reinterpret_cast<Bits>(load(x + j)) & 0x7fffffff);
            peaks = peaks < magnitude ? magnitude : peaks;
        }
        float peak = largestLane(peaks);
        for (; j < count; ++j) {
            peak = larger(peak, x[j] < 0.0f ? -x[j] : x[j]);
        }
        return peak;
    }

private:
    // Right after a frame, while whole hops remain that end in quiet frames: every stretch is
    // N/2 samples and the lanes take turns, so the loop carries no stretch arithmetic. A hop
    // stores its input first and transforms its frame forward before it mixes its output,
    // which waits for the previous frame's inverse: so the forward transform, which needs only
    // the new input, overlaps the end of the previous frame. Then the frame's inverse. The
    // samples are the same as the one-loop mix gives. False when a stretch's output was not
    // finite (done then ends with that stretch, as in runHops).
    static bool quietHops(const HopRun& run, const float* input, float* output, int count, int& done, int& poisoned)
    {
        FrameLane& lane0 = run.lanes[0];
        FrameLane& lane1 = run.lanes[1];
        const int n = run.n;
        const int half = n / 2;
        const RealFft::VectorTables& tables = *run.quiet.tables;
        // Each hop ends in a frame, so the current half's peak is 0 between hops.
        float previousPeak = run.halfPeaks[0];
        while (count - done >= half + n) {
            // One lane is half a frame from its next frame, the other a whole frame.
            const bool lane0Next = lane0.countdown == static_cast<std::uint32_t>(half);
            const int p0 = lane0Next ? half : 0;
            const std::int32_t filling = lane0.fillSelector;
            float* const current = lane0.input[1 - filling];
            const float* const previous = lane0.input[filling];
            FrameLane& next = lane0Next ? lane0 : lane1;

            V peaks = V{};
            fillStretch(current + p0, input + done, half, run.inputGain, peaks);
            const FrameHalves halves = halvesOf(lane0, lane0Next, half);
            run.quiet.forward(tables, halves.first, halves.second, run.window, next.analysis);
            const Bits bad = outputStretch(previous + p0, lane0.output + p0, lane1.output + (half - p0), output + done,
                                           half, run.wetGain, run.dryGain);
            done += half;
            if (!finite(orOfLanes(bad))) {
                poisoned = half;
                return false;
            }
            previousPeak = largestLane(peaks);
            run.quiet.inverse(tables, next.analysis, run.levels, nullptr, run.synthesis, run.gain, next.output);
            (lane0Next ? lane1 : lane0).countdown = static_cast<std::uint32_t>(half);
            next.countdown = static_cast<std::uint32_t>(n);
            next.fillSelector = 1 - next.fillSelector;
        }
        run.halfPeaks[0] = previousPeak;
        run.halfPeaks[1] = 0.0f;
        return true;
    }

    // The input half of the mix over count samples, a multiple of the width: the fill gets
    // input * inputGain; peaks the larger of itself and each |fill sample|, lane by lane.
    static void fillStretch(float* fill, const float* input, int count, float inputGain, V& peaks)
    {
        for (int j = 0; j < count; j += kWidth) {
            const V x = load(input + j) * inputGain;
            const V magnitude = reinterpret_cast<V>(reinterpret_cast<Bits>(x) & 0x7fffffff);
            peaks = peaks < magnitude ? magnitude : peaks;
            store(fill + j, x);
        }
    }

    // The output half of the mix over count samples, a multiple of the width; returns the ORed
    // bits of the outputs' differences (see mixStretch).
    static Bits outputStretch(const float* previous0, const float* out0, const float* out1, float* output, int count,
                              float wetGain, float dryGain)
    {
        Bits poisoned{};
        for (int j = 0; j < count; j += kWidth) {
            const V mixed = wetGain * (load(out0 + j) + load(out1 + j)) + dryGain * load(previous0 + j);
            poisoned |= reinterpret_cast<Bits>(mixed - mixed);
            store(output + j, mixed);
        }
        return poisoned;
    }

    static bool finite(std::uint64_t orOfDifferences) { return (orOfDifferences & 0x7FFFFFFF7FFFFFFFu) == 0; }

    // Where a lane's frame lies. Only lane 0 keeps the input history: its frame is its current
    // input; lane 1's is the second half of lane 0's previous frame and the first half of its
    // current one.
    struct FrameHalves {
        const float* first;
        const float* second;
    };
    static FrameHalves halvesOf(const FrameLane& history, bool laneZero, int half)
    {
        const float* current = history.input[1 - history.fillSelector];
        if (laneZero) {
            return {current, current + half};
        }
        return {history.input[history.fillSelector] + half, current};
    }

    // The frame of a lane whose countdown reached zero, when it measures and keeps nothing: the
    // same steps as the kernel's own frame.
    static void quietFrame(const HopRun& run, FrameLane& lane, const FrameLane& history)
    {
        const FrameHalves halves = halvesOf(history, &lane == &history, run.n / 2);
        const RealFft::VectorTables& tables = *run.quiet.tables;
        run.quiet.forward(tables, halves.first, halves.second, run.window, lane.analysis);
        run.quiet.inverse(tables, lane.analysis, run.levels, nullptr, run.synthesis, run.gain, lane.output);
        lane.countdown = static_cast<std::uint32_t>(run.n);
        lane.fillSelector = 1 - lane.fillSelector;
    }

    // The finiteness check rides along on the output: v - v is +0 for a finite v and a NaN for
    // anything else, so the ORed bits of those differences are zero unless some output sample
    // was not finite. It costs one subtraction and one OR per vector, which this loop (bound by
    // its loads and stores) absorbs; an OR's one-cycle dependency does not hold the loop back
    // as a running sum would. A bad input sample is caught when it reaches the output: through
    // the dry path or the wet frame, within a frame. peak becomes the larger of itself and
    // every |fill sample| (a NaN never wins), which the loop absorbs the same way.
    //
    // The pointers and gains are read into locals first: the stores could otherwise alias the
    // SampleMix, and the compiler would read them again for every vector.
    static bool mixStretch(const SampleMix& mix, const float* input, float* output, int count, float& peak)
    {
        float* const fill = mix.fill;
        const float* const previous0 = mix.previous0;
        const float* const out0 = mix.out0;
        const float* const out1 = mix.out1;
        const float inputGain = mix.inputGain;
        const float wetGain = mix.wetGain;
        const float dryGain = mix.dryGain;
        Bits poisoned{};
        V peaks = V{} + peak;
        int j = 0;
        for (; j + kWidth <= count; j += kWidth) {
            const V x = load(input + j) * inputGain;
            const V mixed = wetGain * (load(out0 + j) + load(out1 + j)) + dryGain * load(previous0 + j);
            poisoned |= reinterpret_cast<Bits>(mixed - mixed);
            const V magnitude = reinterpret_cast<V>(reinterpret_cast<Bits>(x) & 0x7fffffff);
            peaks = peaks < magnitude ? magnitude : peaks;
            store(fill + j, x);
            store(output + j, mixed);
        }
        peak = largestLane(peaks);
        const std::uint32_t tail = j < count ? mixTail(mix, input, output, j, count, peak) : 0;
        const std::uint64_t any = orOfLanes(poisoned) | tail;
        return finite(any);
    }

    // a < b ? b : a: b only when it is larger, so a NaN b never wins.
    static float larger(float a, float b) { return a < b ? b : a; }

    // The largest lane of v, which holds no NaN, folding halves onto each other.
    static float largestLane(V v)
    {
        if constexpr (kWidth == 8) {
            v = foldedOnto(v, __builtin_shufflevector(v, v, 4, 5, 6, 7, 4, 5, 6, 7));
            v = foldedOnto(v, __builtin_shufflevector(v, v, 2, 3, 2, 3, 2, 3, 2, 3));
            v = foldedOnto(v, __builtin_shufflevector(v, v, 1, 1, 1, 1, 1, 1, 1, 1));
        } else {
            v = foldedOnto(v, __builtin_shufflevector(v, v, 2, 3, 2, 3));
            v = foldedOnto(v, __builtin_shufflevector(v, v, 1, 1, 1, 1));
        }
        return v[0];
    }
    static V foldedOnto(V v, V other) { return v < other ? other : v; }

    // Samples from .. count - 1 of mixStretch, one at a time, with the ORed bits of their
    // differences. Out of line: only stretches that end inside a vector need it, and the vector
    // loop keeps fewer registers without it.
    // The mix comes by value, so that the hop loop builds it in memory only on this path.
    [[gnu::noinline]] static std::uint32_t mixTail(SampleMix mix, const float* input, float* output, int from,
                                                   int count, float& peak)
    {
        std::uint32_t tail = 0;
        for (int j = from; j < count; ++j) {
            const float x = input[j] * mix.inputGain;
            peak = larger(peak, x < 0.0f ? -x : x);
            const float mixed = mix.wetGain * (mix.out0[j] + mix.out1[j]) + mix.dryGain * mix.previous0[j];
            tail |= bits(mixed - mixed);
            mix.fill[j] = x;
            output[j] = mixed;
        }
        return tail;
    }

    // The ORed lanes of b, two to a word, folding the halves of the vector onto each other.
    template <typename B>
    static std::uint64_t orOfLanes(B b)
    {
        if constexpr (sizeof(B) == 8) {
            std::uint64_t word;
            std::memcpy(&word, &b, sizeof word);
            return word;
        } else {
            typedef std::int32_t Half __attribute__((vector_size(sizeof(B) / 2)));
            Half low;
            Half high;
            std::memcpy(&low, &b, sizeof low);
            std::memcpy(&high, reinterpret_cast<const char*>(&b) + sizeof low, sizeof high);
            return orOfLanes(low | high);
        }
    }


    static std::uint32_t bits(float f)
    {
        std::uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    }

    static V load(const float* p)
    {
        V v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }

    static void store(float* p, V v) { std::memcpy(p, &v, sizeof v); }
};
