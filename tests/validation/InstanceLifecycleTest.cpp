#include "PluginFixture.h"
#include "StereoBuffers.h"

#include <limits>
#include <thread>

namespace {

void processSome(lfhost::PluginInstance& plugin, int blocks, int frames, unsigned seed)
{
    std::mt19937 generator(seed);
    StereoBuffers buffers(frames);
    plugin.resume();
    for (int b = 0; b < blocks; ++b) {
        buffers.fillNoise(generator, 0.5f);
        plugin.processReplacing(buffers.inputs, buffers.outputs, frames);
        ASSERT_TRUE(buffers.outputsFinite(frames));
    }
    plugin.suspend();
}

}  // namespace

TEST(InstanceLifecycle, HundredInstancesInARow)
{
    for (int i = 0; i < 100; ++i) {
        auto plugin = loadPlugin();
        ASSERT_TRUE(plugin) << i;
        processSome(*plugin, 2, 256, static_cast<unsigned>(i));
    }
}

TEST(InstanceLifecycle, SixteenInstancesAtOnceEachProcessingOnItsOwnThread)
{
    std::vector<std::unique_ptr<lfhost::PluginInstance>> plugins;
    for (int i = 0; i < 16; ++i) {
        plugins.push_back(loadPlugin());
        ASSERT_TRUE(plugins.back());
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < 16; ++i) {
        threads.emplace_back([&, i] { processSome(*plugins[static_cast<std::size_t>(i)], 20, 512, static_cast<unsigned>(i)); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    plugins.clear();
}

TEST(InstanceLifecycle, EverySampleRateAndAwkwardBlockSize)
{
    for (float rate : {8000.0f, 11025.0f, 16000.0f, 22050.0f, 32000.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f,
                       176400.0f, 192000.0f}) {
        auto plugin = loadPlugin();
        ASSERT_TRUE(plugin);
        plugin->setSampleRate(rate);
        for (int frames : {1, 2, 3, 64, 4097, 8192}) {
            plugin->setBlockSize(frames);
            processSome(*plugin, 3, frames, 5);
        }
    }
}

TEST(InstanceLifecycle, BadSampleRatesFromTheHostAreIgnored)
{
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    for (float rate : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()}) {
        plugin->setSampleRate(rate);
        plugin->dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, rate);
        processSome(*plugin, 4, 512, 9);
    }
}

TEST(InstanceLifecycle, SuspendAndResumeBetweenEveryBlock)
{
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    for (int i = 0; i < 50; ++i) {
        processSome(*plugin, 1, 300, static_cast<unsigned>(i));
    }
}
