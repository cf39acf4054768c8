// The built-in MIDI script's controller map and scaling.

#include "ScriptedInstance.h"

#include <gtest/gtest.h>

namespace {

struct Controller {
    int number;
    int value;
};

float afterController(ScriptedInstance& instance, int id, Controller cc)
{
    instance.helper().ControlChange(0, cc.number, cc.value);
    return instance.plugin.values[static_cast<std::size_t>(id)];
}

}  // namespace

TEST(BuiltInMidiScript, MapsControllersToTheControlsSkippingReservedOnes)
{
    ScriptedInstance instance;
    (void)instance.state();
    EXPECT_EQ(afterController(instance, 1, {2, 127}), 1.0f);
    EXPECT_EQ(afterController(instance, 1, {2, 0}), 0.0f);
    EXPECT_FLOAT_EQ(afterController(instance, 11, {15, 64}), -22.0f) << "a range through zero centres on 64";
    EXPECT_FLOAT_EQ(afterController(instance, 11, {15, 127}), 36.0f);
    EXPECT_EQ(afterController(instance, 3, {4, 127}), 7.0f);
    EXPECT_EQ(afterController(instance, 3, {4, 9}), 0.0f);
    EXPECT_EQ(afterController(instance, 0, {0, 127}), 100.0f);
    EXPECT_FLOAT_EQ(afterController(instance, 6, {9, 0}), -180.0f);
    EXPECT_FLOAT_EQ(afterController(instance, 15, {19, 127}), 100.0f);
    EXPECT_FLOAT_EQ(afterController(instance, 31, {35, 127}), 1.0f) << "the last Dummy";

    const auto before = instance.plugin.values;
    for (int reserved : {1, 7, 10, 64, 99, 98, 6, 38, 36, 127}) {
        instance.helper().ControlChange(3, reserved, 100);
    }
    EXPECT_EQ(instance.plugin.values, before);
}

TEST(BuiltInMidiScript, RegistersTheSixSpectralScriptsInOrder)
{
    ScriptedInstance instance;
    (void)instance.state();
    const auto names = instance.helper().spectral().completeAfterStartup();
    const std::vector<std::string> expected = {"Off", "Shift", "Reverse", "Low Pass", "High Pass", "Band Pass", "Gate"};
    EXPECT_EQ(names, expected);
}

// A tone's bin reads pi/4 as large in the Hann frames of 4x and 8x: "Gate" lowers its
// threshold to match, so a bin just under the 2x threshold is gated there and kept at 4x.
TEST(BuiltInMidiScript, GateThresholdFollowsTheFrameWindow)
{
    ScriptedInstance instance;
    (void)instance.state();
    (void)instance.helper().spectral().completeAfterStartup();
    instance.plugin.values[ParameterId::Scripted2] = 1.0f;  // level (maxBin - 1) / 32 = 0.21875 at N = 16
    instance.plugin.values[ParameterId::Scripted3] = 0.0f;  // silence the quiet bins
    constexpr int kGate = 6;
    for (int overlap : {2, 4, 8}) {
        std::vector<float> bins(16, 0.0f);
        bins[3] = 0.2f;
        instance.runFrame(kGate, bins.data(), 16, overlap);
        EXPECT_EQ(bins[3], overlap == 2 ? 0.0f : 0.2f) << overlap << "x";
    }
}
