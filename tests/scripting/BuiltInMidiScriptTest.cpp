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
