// A strict validator's allocation check: at every sample rate and block size it tries,
// the host prepares the plug-in again (processing off, new rate and size, on) and plays ten
// blocks of noise, moving a few parameters from the audio thread before each as hosts'
// automation does. Nothing of it allocates, frees or locks, and the output is sound.

#include "AudioThreadProbe.h"
#include "PluginFixture.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr float kSampleRates[] = {44100.0f, 48000.0f, 96000.0f};
constexpr int kBlockSizes[] = {64, 128, 256, 512, 1024};
constexpr int kBlocksPerSetting = 10;
constexpr int kFftSize = 3;

bool outputSound(const std::vector<float>& channel, int frames)
{
    for (int i = 0; i < frames; ++i) {
        const float s = channel[static_cast<std::size_t>(i)];
        if (!std::isfinite(s) || std::fpclassify(s) == FP_SUBNORMAL) return false;
    }
    return true;
}

TEST(PluginvalRealtime, AllocationsDuringProcess)
{
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    std::mt19937 generator(21);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::uniform_int_distribution<int> anyId(1, 2080);  // the OSC port (0) moves a server
    std::uniform_real_distribution<float> anyValue(0.0f, 1.0f);
    std::vector<float> in[2], out[2];
    for (int c = 0; c < 2; ++c) {
        in[c].resize(1024);
        out[c].resize(1024);
    }
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    int setting = 0;
    for (float rate : kSampleRates) {
        for (int frames : kBlockSizes) {
            const std::string name = std::to_string(static_cast<int>(rate)) + " Hz, " + std::to_string(frames) + " frames";
            plugin->suspend();
            plugin->setSampleRate(rate);
            plugin->setBlockSize(frames);
            plugin->setParameter(kFftSize, static_cast<float>(setting++ % 8) / 7.0f);
            plugin->resume();
            for (int b = 0; b < kBlocksPerSetting; ++b) {
                for (auto& channel : in) {
                    for (float& s : channel) s = noise(generator);
                }
                AudioThreadCounts counts;
                {
                    AudioThreadProbe probe;
                    for (int i = 0; i < 3; ++i) plugin->setParameter(anyId(generator), anyValue(generator));
                    plugin->processReplacing(inputs, outputs, frames);
                    counts = probe.take();
                }
                ASSERT_EQ(counts.allocations + counts.frees + counts.locks, 0u)
                    << name << ", block " << b << ": allocations " << counts.allocations << ", frees " << counts.frees
                    << ", locks " << counts.locks;
                ASSERT_TRUE(outputSound(out[0], frames) && outputSound(out[1], frames)) << name << ", block " << b;
            }
        }
    }
}

}  // namespace
