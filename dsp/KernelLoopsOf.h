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

    static KernelLoops loops() noexcept { return {windowFrame, applyLevels, synthesise, mixSamples}; }

    static float windowFrame(const float* input, const float* window, float* windowed, int n)
    {
        Peak peak;
        for (int i = 0; i < n; i += 4 * kWidth) {
            V x[4];
            for (int u = 0; u < 4; ++u) {
                x[u] = load(input + i + u * kWidth);
            }
            peak.take(x);
            for (int u = 0; u < 4; ++u) {
                store(windowed + i + u * kWidth, x[u] * load(window + i + u * kWidth));
            }
        }
        return peak.largest();
    }

    static void applyLevels(const float* from, const float* first, const float* second, float* to, int n)
    {
        const int half = n / 2;
        for (int k = 0; k < half; k += kWidth) {
            store(to + k, load(from + k) * load(first + k));
        }
        for (int k = 0; k < half; k += kWidth) {
            store(to + half + k, load(from + half + k) * load(second + k));
        }
    }

    static float synthesise(float* frame, const float* window, float gain, int n)
    {
        Peak peak;
        for (int i = 0; i < n; i += 4 * kWidth) {
            V y[4];
            for (int u = 0; u < 4; ++u) {
                y[u] = load(frame + i + u * kWidth) * gain;
            }
            peak.take(y);
            for (int u = 0; u < 4; ++u) {
                store(frame + i + u * kWidth, y[u] * load(window + i + u * kWidth));
            }
        }
        return peak.largest();
    }

    static void mixSamples(const SampleMix& mix, const float* input, float* output, int count)
    {
        int j = 0;
        for (; j + kWidth <= count; j += kWidth) {
            const V x = load(input + j) * mix.inputGain;
            const V mixed = mix.wetGain * (load(mix.out0 + j) + load(mix.out1 + j)) + mix.dryGain * load(mix.previous0 + j);
            store(mix.fill0 + j, x);
            store(mix.fill1 + j, x);
            store(output + j, mixed);
        }
        for (; j < count; ++j) {
            const float x = input[j] * mix.inputGain;
            const float mixed = mix.wetGain * (mix.out0[j] + mix.out1[j]) + mix.dryGain * mix.previous0[j];
            mix.fill0[j] = x;
            mix.fill1[j] = x;
            output[j] = mixed;
        }
    }

private:
    typedef std::int32_t Int __attribute__((vector_size(sizeof(V))));

    static V load(const float* p)
    {
        V v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }

    static void store(float* p, V v) { std::memcpy(p, &v, sizeof v); }

    static V absolute(V v) { return reinterpret_cast<V>(reinterpret_cast<Int>(v) & 0x7fffffff); }

    // std::max(peak, v) per lane: a NaN in v never replaces the peak.
    static V larger(V peak, V v) { return peak < v ? v : peak; }

    // A frame's peak is a running maximum; four independent maxima let the comparisons
    // overlap instead of each waiting for the one before it.
    struct Peak {
        V maxima[4]{};
        void take(const V (&x)[4])
        {
            for (int u = 0; u < 4; ++u) {
                maxima[u] = larger(maxima[u], absolute(x[u]));
            }
        }
        float largest() const
        {
            const V v = larger(larger(maxima[0], maxima[1]), larger(maxima[2], maxima[3]));
            float result = v[0];
            for (int lane = 1; lane < kWidth; ++lane) {
                result = result < v[lane] ? v[lane] : result;
            }
            return result;
        }
    };
};
