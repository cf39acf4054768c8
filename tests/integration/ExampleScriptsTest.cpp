// The example scripts we ship, loaded from the user's script folder as a user would.

#include "PluginFixture.h"
#include "UserScriptFolder.h"

#include <cmath>

namespace {

void runBlockWith(lfhost::PluginInstance& plugin, const std::vector<lfhost::MidiMessage>& events)
{
    plugin.sendMidi(events);
    std::vector<float> in(64), outL(64), outR(64);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    plugin.processReplacing(inputs, outputs, 64);
}

float sinePeakThrough(lfhost::PluginInstance& plugin, float cyclesPerSample)
{
    const std::size_t length = 8192;
    std::vector<float> input(length), left(length), right(length);
    for (std::size_t i = 0; i < length; ++i) {
        input[i] = 0.5f * std::sin(2.0f * 3.14159265f * cyclesPerSample * static_cast<float>(i));
    }
    for (std::size_t start = 0; start < length; start += 512) {
        float* in[2] = {input.data() + start, input.data() + start};
        float* out[2] = {left.data() + start, right.data() + start};
        plugin.processReplacing(in, out, 512);
    }
    float peak = 0.0f;
    for (std::size_t i = length / 2; i < length; ++i) {
        peak = std::max(peak, std::fabs(left[i]));
    }
    return peak;
}

}  // namespace

TEST(ExampleScripts, MiddleCTogglesABandOfBins)
{
    UserScriptFolder scripts;
    scripts.addExample("note-toggles-band.lua");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    runBlockWith(*plugin, {{0, {0x90, 60, 100}}});
    EXPECT_EQ(plugin->getParameter(32 + 20), 0.0f);
    EXPECT_EQ(plugin->getParameter(32 + 60), 0.0f);
    EXPECT_EQ(plugin->getParameter(32 + 61), 1.0f);
    EXPECT_EQ(plugin->getParameter(32 + 19), 1.0f);
    runBlockWith(*plugin, {{0, {0x80, 60, 0}}, {5, {0x90, 61, 100}}, {9, {0x90, 60, 1}}});
    EXPECT_EQ(plugin->getParameter(32 + 40), 1.0f) << "the second press restores the band";
}

TEST(ExampleScripts, ControllerTiltsTheSpectrum)
{
    UserScriptFolder scripts;
    scripts.addExample("cc-spectral-tilt.lua");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    plugin->setParameter(13, 1.0f);
    ASSERT_EQ(plugin->parameterDisplay(13), "Tilt");
    const float flat = sinePeakThrough(*plugin, 0.4f);
    runBlockWith(*plugin, {{0, {0xB0, 74, 127}}});
    EXPECT_FLOAT_EQ(plugin->getParameter(16), 1.0f);
    const float tilted = sinePeakThrough(*plugin, 0.4f);
    EXPECT_GT(flat, 0.45f) << "flat while the controller is at 0";
    EXPECT_LT(tilted, flat * 0.05f) << "high frequencies lose tens of decibels";
    EXPECT_GT(sinePeakThrough(*plugin, 0.002f), 0.4f) << "low frequencies pass";
}

TEST(ExampleScripts, LfoMovesTheWetLevelUntilStopped)
{
    UserScriptFolder scripts;
    scripts.addExample("lfo-wet-level.lua");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    ASSERT_TRUE(plugin->waitForCall(audioMasterAutomate, 2, 5000));
    const float level = plugin->getParameter(2);
    EXPECT_GE(level, 0.2f - 1e-6f);
    EXPECT_LE(level, 1.0f + 1e-6f);
    runBlockWith(*plugin, {{0, {0xC0, 0, 0}}});
    plugin->clearCalls();
    runBlockWith(*plugin, {{0, {0xC0, 1, 0}}});
    EXPECT_TRUE(plugin->waitForCall(audioMasterAutomate, 2, 5000)) << "restarted";
}
