#pragma once
// Stereo input and output blocks for driving the plug-in by hand.

#include <cmath>
#include <limits>
#include <random>
#include <vector>

struct StereoBuffers {
    std::vector<float> in[2];
    std::vector<float> out[2];
    float* inputs[2];
    float* outputs[2];

    explicit StereoBuffers(int frames)
    {
        for (int c = 0; c < 2; ++c) {
            in[c].assign(static_cast<std::size_t>(frames) + 1, 0.0f);
            out[c].assign(static_cast<std::size_t>(frames) + 1, 0.0f);
            inputs[c] = in[c].data();
            outputs[c] = out[c].data();
        }
    }
    void fillNoise(std::mt19937& generator, float amplitude)
    {
        std::uniform_real_distribution<float> uniform(-amplitude, amplitude);
        for (auto& channel : in) {
            for (float& sample : channel) {
                sample = uniform(generator);
            }
        }
    }
    void fillOutputs(float value)
    {
        for (auto& channel : out) {
            channel.assign(channel.size(), value);
        }
    }
    bool outputsFinite(int frames) const
    {
        for (const auto& channel : out) {
            for (int i = 0; i < frames; ++i) {
                if (!std::isfinite(channel[static_cast<std::size_t>(i)])) {
                    return false;
                }
            }
        }
        return true;
    }
};
