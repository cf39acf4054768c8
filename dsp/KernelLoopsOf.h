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

    // The finiteness check rides along: x * 0 is a signed zero for a finite x and a NaN for
    // anything else, so the exponent bits of all those products ORed together tell whether
    // some sample was not finite. An OR per vector costs next to nothing in this loop, and
    // its one-cycle dependency does not hold the loop back as a running sum would.
    static bool mixSamples(const SampleMix& mix, const float* input, float* output, int count)
    {
        Bits poisoned{};
        int j = 0;
        for (; j + kWidth <= count; j += kWidth) {
            const V x = load(input + j) * mix.inputGain;
            const V mixed = mix.wetGain * (load(mix.out0 + j) + load(mix.out1 + j)) + mix.dryGain * load(mix.previous0 + j);
            poisoned |= reinterpret_cast<Bits>(x * 0.0f) | reinterpret_cast<Bits>(mixed * 0.0f);
            store(mix.fill + j, x);
            store(output + j, mixed);
        }
        std::int32_t tail = 0;
        for (; j < count; ++j) {
            const float x = input[j] * mix.inputGain;
            const float mixed = mix.wetGain * (mix.out0[j] + mix.out1[j]) + mix.dryGain * mix.previous0[j];
            tail |= bits(x * 0.0f) | bits(mixed * 0.0f);
            mix.fill[j] = x;
            output[j] = mixed;
        }
        for (int lane = 0; lane < kWidth; ++lane) {
            tail |= poisoned[lane];
        }
        return (tail & kExponentBits) == 0;
    }

private:
    // The same lanes as integers (a comparison of two V gives that type).
    using Bits = decltype(V{} < V{});
    static constexpr std::int32_t kExponentBits = 0x7F800000;

    static std::int32_t bits(float f)
    {
        std::int32_t b;
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
