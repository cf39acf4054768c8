// The editor's value fields show units; the mix levels show their gain in dB exactly as
// hosts show it (display text and label).

#include "editor/product/ControlValueText.h"
#include "engine/model/ParameterTable.h"

#include <gtest/gtest.h>

namespace {

TEST(ControlValueText, GainsMixLevelsAndTimesCarryTheirUnits)
{
    const struct {
        int parameter;
        float plain;
        const char* text;
    } cases[] = {
        {ParameterId::InputGain, 0.0f, "0.0 dB"},     {ParameterId::InputGain, -6.5f, "-6.5 dB"},
        {ParameterId::InputGain, -80.0f, "-80 dB"},   {ParameterId::ViewMinDb, -160.0f, "-160dB"},
        {ParameterId::WetLevel, 1.0f, "0.000 dB"},    {ParameterId::WetLevel, 0.5f, "-18.06 dB"},
        {ParameterId::DryLevel, 0.0f, "-inf dB"},     {ParameterId::ViewSmoothing, 500.0f, "500 ms"},
        {ParameterId::ViewMaxLinear, 1.0f, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ControlValueText::text(parameterInfo(c.parameter), c.plain), c.text) << c.parameter;
    }
}

// A typed number reaches the plug-in's reading of texts (plainFromText), which ends here.
TEST(ControlValueText, DecibelsTypedIntoAMixLevelBecomeItsCubeRoot)
{
    const ParameterInfo wet = parameterInfo(ParameterId::WetLevel);
    EXPECT_NEAR(*admittedPlainValue(wet, plainFromDisplayedNumber(wet, -18.0f)), 0.5f, 0.01f);
    EXPECT_FLOAT_EQ(*admittedPlainValue(wet, plainFromDisplayedNumber(wet, 12.0f)), 1.0f) << "above 0 dB is the top";
    EXPECT_EQ(plainFromDisplayedNumber(parameterInfo(ParameterId::InputGain), -6.0f), -6.0f) << "plain already";
}

}  // namespace
