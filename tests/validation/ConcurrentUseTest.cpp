#include "PluginFixture.h"
#include "StereoBuffers.h"

#include <atomic>
#include <thread>

TEST_F(PluginTest, HostAutomationFromAnotherThreadWhileProcessing)
{
    std::atomic<bool> done{false};
    std::thread automation([&] {
        std::mt19937 generator(8);
        std::uniform_int_distribution<int> anyId(0, 2080);
        std::uniform_real_distribution<float> anyValue(0.0f, 1.0f);
        while (!done.load()) {
            const int id = anyId(generator);
            if (id != 0) {  // leave the OSC server closed
                plugin->setParameter(id, anyValue(generator));
            }
        }
    });
    StereoBuffers buffers(256);
    std::mt19937 generator(9);
    for (int b = 0; b < 400; ++b) {
        buffers.fillNoise(generator, 0.5f);
        plugin->processReplacing(buffers.inputs, buffers.outputs, 256);
    }
    done.store(true);
    automation.join();
}

TEST_F(PluginTest, StateRoundTripWhileProcessingKeepsEveryValue)
{
    for (int id = 1; id < 2081; id += 3) {
        plugin->setParameter(id, static_cast<float>(id % 7) / 7.0f);
    }
    std::atomic<bool> done{false};
    std::thread audio([&] {
        StereoBuffers buffers(128);
        std::mt19937 generator(10);
        while (!done.load()) {
            buffers.fillNoise(generator, 0.5f);
            plugin->processReplacing(buffers.inputs, buffers.outputs, 128);
        }
    });
    const auto saved = plugin->getChunk();
    for (int round = 0; round < 50; ++round) {
        plugin->setChunk(saved.data(), saved.size());
        ASSERT_EQ(plugin->getChunk(), saved);
    }
    done.store(true);
    audio.join();
}
