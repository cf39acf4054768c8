#pragma once
// Loads a fresh instance of the built plug-in for each test.

#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

inline std::unique_ptr<lfhost::PluginInstance> loadPlugin(lfhost::HostOptions options = {})
{
    std::string error;
    auto instance = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error, options);
    EXPECT_TRUE(instance) << error;
    return instance;
}

class PluginTest : public testing::Test {
protected:
    void SetUp() override
    {
        plugin = loadPlugin();
        ASSERT_TRUE(plugin);
    }

    // Stereo processing of whole signals in host blocks of blockSize frames.
    std::vector<std::vector<float>> process(const std::vector<std::vector<float>>& input, int blockSize)
    {
        const std::size_t length = input[0].size();
        std::vector<std::vector<float>> output(2, std::vector<float>(length, 0.0f));
        for (std::size_t start = 0; start < length; start += static_cast<std::size_t>(blockSize)) {
            const int frames = static_cast<int>(std::min<std::size_t>(blockSize, length - start));
            float* in[2] = {const_cast<float*>(input[0].data() + start), const_cast<float*>(input[1].data() + start)};
            float* out[2] = {output[0].data() + start, output[1].data() + start};
            plugin->processReplacing(in, out, frames);
        }
        return output;
    }

    // The normalised value for a plain value of a linear row.
    static float normalized(float plain, float min, float max) { return (plain - min) / (max - min); }

    std::unique_ptr<lfhost::PluginInstance> plugin;
};
