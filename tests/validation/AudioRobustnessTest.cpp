#include "PluginFixture.h"
#include "StereoBuffers.h"

#include <cstring>
#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

void processBlock(lfhost::PluginInstance& plugin, StereoBuffers& buffers, int frames)
{
    plugin.processReplacing(buffers.inputs, buffers.outputs, frames);
}

}  // namespace

TEST_F(PluginTest, SilenceFullScaleNoiseAndDenormalsStayFinite)
{
    plugin->setParameter(1, 0.5f);
    std::mt19937 generator(3);
    StereoBuffers buffers(512);
    for (float amplitude : {0.0f, 1.0f, 1e-40f}) {
        for (int b = 0; b < 20; ++b) {
            buffers.fillNoise(generator, amplitude);
            processBlock(*plugin, buffers, 512);
            ASSERT_TRUE(buffers.outputsFinite(512)) << amplitude;
        }
    }
}

TEST_F(PluginTest, OutputRecoversWithinTwoFramesAfterNaNAndInfinityInput)
{
    plugin->setParameter(1, 0.5f);
    const int n = plugin->initialDelay();
    StereoBuffers buffers(256);
    std::mt19937 generator(4);
    for (float bad : {kNaN, kInf, -kInf}) {
        buffers.fillNoise(generator, 0.5f);
        buffers.in[0][17] = bad;
        buffers.in[1][200] = bad;
        processBlock(*plugin, buffers, 256);
        int cleanSamples = 0;
        bool recovered = false;
        for (int b = 0; b < 40 && !recovered; ++b) {
            buffers.fillNoise(generator, 0.5f);
            processBlock(*plugin, buffers, 256);
            cleanSamples += 256;
            recovered = cleanSamples > 2 * n && buffers.outputsFinite(256);
        }
        EXPECT_TRUE(recovered) << bad;
        EXPECT_LE(cleanSamples, 2 * n + 256);
    }
}

TEST_F(PluginTest, BlocksOfZeroFramesAreHarmless)
{
    StereoBuffers buffers(16);
    buffers.fillOutputs(7.0f);
    processBlock(*plugin, buffers, 0);
    EXPECT_EQ(buffers.out[0][0], 7.0f) << "nothing written";
    plugin->processReplacing(nullptr, nullptr, 0);
    plugin->processReplacing(nullptr, nullptr, 64);
}

TEST_F(PluginTest, InPlaceProcessingMatchesSeparateBuffers)
{
    auto separate = loadPlugin();
    ASSERT_TRUE(separate);
    for (auto* p : {plugin.get(), separate.get()}) {
        p->setParameter(1, 0.3f);
        p->setParameter(3, 2.0f / 7.0f);
        p->setParameter(60, 0.1f);
    }
    std::mt19937 generator(5);
    StereoBuffers buffers(333);
    for (int b = 0; b < 30; ++b) {
        buffers.fillNoise(generator, 0.5f);
        StereoBuffers inPlace(333);
        inPlace.in[0] = inPlace.out[0] = buffers.in[0];
        inPlace.in[1] = inPlace.out[1] = buffers.in[1];
        float* shared[2] = {inPlace.out[0].data(), inPlace.out[1].data()};
        plugin->processReplacing(shared, shared, 333);
        separate->processReplacing(buffers.inputs, buffers.outputs, 333);
        ASSERT_EQ(0, std::memcmp(inPlace.out[0].data(), buffers.out[0].data(), 333 * sizeof(float)));
        ASSERT_EQ(0, std::memcmp(inPlace.out[1].data(), buffers.out[1].data(), 333 * sizeof(float)));
    }
}

TEST_F(PluginTest, OutputsAreFullyOverwrittenAndInputsLeftAlone)
{
    std::mt19937 generator(6);
    StereoBuffers buffers(1000);
    for (int b = 0; b < 5; ++b) {
        buffers.fillNoise(generator, 0.5f);
        const auto left = buffers.in[0];
        const auto right = buffers.in[1];
        buffers.fillOutputs(kNaN);
        processBlock(*plugin, buffers, 1000);
        EXPECT_TRUE(buffers.outputsFinite(1000));
        EXPECT_TRUE(std::isnan(buffers.out[0][1000])) << "nothing written past the block";
        EXPECT_EQ(buffers.in[0], left);
        EXPECT_EQ(buffers.in[1], right);
    }
}

TEST_F(PluginTest, EveryParameterAtHostileValuesWhileProcessing)
{
    StereoBuffers buffers(128);
    std::mt19937 generator(7);
    for (int id = 0; id < 2081; ++id) {
        for (float value : {-1.0f, 2.0f, kNaN, kInf, -kInf}) {
            plugin->setParameter(id, value);
        }
        if (id % 64 == 0 || id < 32) {
            buffers.fillNoise(generator, 0.5f);
            processBlock(*plugin, buffers, 128);
            ASSERT_TRUE(buffers.outputsFinite(128)) << id;
        }
    }
}
