#pragma once
// The kernel's loops over a GCC vector type V of W floats; instantiated in KernelLoops.cpp
// (four lanes) and KernelLoopsAvx2.cpp (eight lanes). Host buffers are not aligned, so every
// access is an unaligned load or store. No loop has a branch or a division inside. Nothing
// here calls a library template: an out-of-line copy compiled for AVX2 could otherwise be
// picked by the linker for the four-lane code too.

#include "dsp/KernelLoops.h"

#include <cstdint>
#include <cstring>

template <typename V>
class KernelLoopsOf {
public:
    static constexpr int kWidth = sizeof(V) / sizeof(float);

    static KernelLoops loops() noexcept { return {applyLevels, mixSamples}; }

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

    // The finiteness check rides along on the output: v - v is +0 for a finite v and a NaN for
    // anything else, so the ORed bits of those differences are zero unless some output sample
    // was not finite. It costs one subtraction and one OR per vector, which this loop (bound by
    // its loads and stores) absorbs; an OR's one-cycle dependency does not hold the loop back
    // as a running sum would. A bad input sample is caught when it reaches the output: through
    // the dry path or the wet frame, within a frame.
    //
    // The pointers and gains are read into locals first: the stores could otherwise alias the
    // SampleMix, and the compiler would read them again for every vector.
    static bool mixSamples(const SampleMix& mix, const float* input, float* output, int count)
    {
        float* const fill = mix.fill;
        const float* const previous0 = mix.previous0;
        const float* const out0 = mix.out0;
        const float* const out1 = mix.out1;
        const float inputGain = mix.inputGain;
        const float wetGain = mix.wetGain;
        const float dryGain = mix.dryGain;
        Bits poisoned{};
        int j = 0;
        for (; j + kWidth <= count; j += kWidth) {
            const V x = load(input + j) * inputGain;
            const V mixed = wetGain * (load(out0 + j) + load(out1 + j)) + dryGain * load(previous0 + j);
            poisoned |= reinterpret_cast<Bits>(mixed - mixed);
            store(fill + j, x);
            store(output + j, mixed);
        }
        const std::uint32_t tail = j < count ? mixTail(mix, input, output, j, count) : 0;
        const std::uint64_t any = orOfLanes(poisoned) | tail;
        return (any & 0x7FFFFFFF7FFFFFFFu) == 0;
    }

private:
    // Samples from .. count - 1 of mixSamples, one at a time, with the ORed bits of their
    // differences. Out of line: only stretches that end inside a vector need it, and the vector
    // loop keeps fewer registers without it.
    [[gnu::noinline]] static std::uint32_t mixTail(const SampleMix& mix, const float* input, float* output, int from,
                                                   int count)
    {
        std::uint32_t tail = 0;
        for (int j = from; j < count; ++j) {
            const float x = input[j] * mix.inputGain;
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

    // The same lanes as integers (a comparison of two V gives that type).
    using Bits = decltype(V{} < V{});
    static_assert(sizeof(Bits) == sizeof(V));

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
