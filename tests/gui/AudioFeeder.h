#pragma once
// A chord with a little noise, played into an instance on an audio thread of its own while
// it lives, so that the editor's meters and spectra move.

#include "tools/host/PluginInstance.h"

#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

class AudioFeeder {
public:
    explicit AudioFeeder(lfhost::PluginInstance& plugin) : plugin_(plugin)
    {
        plugin_.setSampleRate(44100.0f);
        plugin_.setBlockSize(kBlock);
        plugin_.resume();
        thread_ = std::thread([this] { run(); });
    }
    ~AudioFeeder()
    {
        stop_.store(true);
        thread_.join();
    }

private:
    static constexpr int kBlock = 512;
    void run()
    {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> noise(-0.02f, 0.02f);
        std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
        float* inputs[] = {left.data(), right.data()};
        float* outputs[] = {outLeft.data(), outRight.data()};
        const float notes[] = {110.0f, 220.0f, 277.2f, 329.6f, 440.0f, 880.0f, 1760.0f, 3520.0f};
        long frame = 0;
        while (!stop_.load()) {
            for (int i = 0; i < kBlock; ++i, ++frame) {
                float sample = noise(random);
                for (std::size_t n = 0; n < std::size(notes); ++n) {
                    sample += 0.12f / static_cast<float>(n + 1) *
                              std::sin(2.0f * static_cast<float>(M_PI) * notes[n] * static_cast<float>(frame) / 44100.0f);
                }
                left[static_cast<std::size_t>(i)] = right[static_cast<std::size_t>(i)] = sample;
            }
            plugin_.processReplacing(inputs, outputs, kBlock);
            std::this_thread::yield();
        }
    }

    lfhost::PluginInstance& plugin_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
