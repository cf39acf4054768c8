// Whole-buffer rendering with the plug-in's latency compensated.

#include "tools/host/OfflineRenderer.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <random>

using lfhost::OfflineRenderer;
using lfhost::PluginInstance;

namespace {

constexpr int kLength = 5000;

std::unique_ptr<PluginInstance> loadGainWithLatency(float latencyParameter)
{
    std::string error;
    auto plugin = PluginInstance::create(LFTEST_GAIN_PLUGIN, &error);
    EXPECT_NE(plugin, nullptr) << error;
    plugin->setParameter(1, latencyParameter);
    return plugin;
}

std::vector<float> noise(unsigned seed, int length)
{
    std::mt19937 engine(seed);
    std::vector<float> samples(static_cast<std::size_t>(length));
    for (float& s : samples) s = static_cast<float>(engine() % 20001) / 10000.0f - 1.0f;
    return samples;
}

OfflineRenderer::Channels stereoNoise() { return {noise(1, kLength), noise(2, kLength)}; }

TEST(LatencyCompensation, DelayedOutputLinesUpWithTheInputExactly)
{
    auto plugin = loadGainWithLatency(0.317f);  // 317 samples
    OfflineRenderer renderer(*plugin);
    const auto input = stereoNoise();
    const auto output = renderer.render(input, 256);
    EXPECT_EQ(renderer.lastLatency(), 317);
    ASSERT_EQ(output.size(), 2u);
    EXPECT_EQ(output[0], input[0]);
    EXPECT_EQ(output[1], input[1]);
}

TEST(LatencyCompensation, LatencyLongerThanTheInputStillYieldsTheWholeInput)
{
    auto plugin = loadGainWithLatency(1.0f);  // 1000 samples
    OfflineRenderer renderer(*plugin);
    const OfflineRenderer::Channels input = {noise(3, 10), noise(4, 10)};
    EXPECT_EQ(renderer.render(input, 64), input);
}

TEST(LatencyCompensation, EveryBlockSizeGivesTheSameResult)
{
    const auto input = stereoNoise();
    OfflineRenderer::Channels reference;
    for (int blockSize : {1, 7, 64, 10000}) {
        auto plugin = loadGainWithLatency(0.1f);
        plugin->setParameter(0, 0.3f);  // gain 0.6, so the output is not the input
        OfflineRenderer renderer(*plugin);
        const auto output = renderer.render(input, blockSize);
        if (reference.empty()) reference = output;
        EXPECT_EQ(output, reference) << "block size " << blockSize;
    }
    EXPECT_FLOAT_EQ(reference[0][100], 0.6f * input[0][100]);
}

TEST(OfflineRendering, MonoInputFeedsBothPluginInputs)
{
    auto plugin = loadGainWithLatency(0.0f);
    OfflineRenderer renderer(*plugin);
    const OfflineRenderer::Channels mono = {noise(5, 300)};
    const auto output = renderer.render(mono, 64);
    ASSERT_EQ(output.size(), 2u);
    EXPECT_EQ(output[0], mono[0]);
    EXPECT_EQ(output[1], mono[0]);
}

TEST(OfflineRendering, BlockSizeIsToldToThePluginWhileSuspended)
{
    auto plugin = loadGainWithLatency(0.0f);
    OfflineRenderer renderer(*plugin);
    (void)renderer.render({noise(6, 100)}, 37);
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, fourCharCode('b', 'l', 'k', 's')), 37);
    EXPECT_EQ(plugin->countCalls(audioMasterWantMidi), 1);  // resumed once
}

TEST(OfflineRendering, ProgressRisesToCompletion)
{
    auto plugin = loadGainWithLatency(0.05f);
    OfflineRenderer renderer(*plugin);
    std::vector<double> reports;
    (void)renderer.render({noise(7, 1000)}, 100, [&](double fraction) { reports.push_back(fraction); });
    ASSERT_EQ(reports.size(), 11u);  // 1050 frames in blocks of 100
    for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i], reports[i - 1]);
    EXPECT_DOUBLE_EQ(reports.back(), 1.0);
}

TEST(OfflineRendering, RefusesInputsItCannotFeed)
{
    auto plugin = loadGainWithLatency(0.0f);
    OfflineRenderer renderer(*plugin);
    EXPECT_THROW((void)renderer.render({}, 64), std::invalid_argument);
    EXPECT_THROW((void)renderer.render({{0.0f}, {0.0f}, {0.0f}}, 64), std::invalid_argument);
    EXPECT_THROW((void)renderer.render({{0.0f, 1.0f}, {0.0f}}, 64), std::invalid_argument);
    EXPECT_THROW((void)renderer.render({{0.0f}}, 0), std::invalid_argument);
}

}  // namespace
