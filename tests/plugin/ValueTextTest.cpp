// The value texts hosts, the editor and the renderer show and read, across the kinds of
// rows: lists (fixed and handed in), numbers with words, the mix levels' fader, gains,
// times and unitless factors.

#include "engine/model/ParameterTable.h"
#include "engine/model/ValueText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using Style = ValueText::Style;
using Reading = ValueText::Reading;

const std::vector<std::string> kScripts = {"Alpha", "Beta"};

// "Script Index" as an instance with two scripts has it.
ParameterInfo scriptRow()
{
    ParameterInfo row = parameterInfo(ParameterId::ScriptIndex);
    row.maxValue = 1.0f;
    return row;
}

ValueText textsOf(int id, std::vector<std::string> entries = {})
{
    return id == ParameterId::ScriptIndex ? ValueText(id, scriptRow(), std::move(entries))
                                          : ValueText(id, parameterInfo(id), std::move(entries));
}

// As an instance hands them in: its script names, nothing for the fixed lists.
ValueText instanceTextsOf(int id)
{
    return textsOf(id, id == ParameterId::ScriptIndex ? kScripts : std::vector<std::string>{});
}

TEST(ValueText, HostTextsShowWordsListEntriesAndNumbersInTheShownUnit)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::string> tooLong = {"A name far too long for hosts"};
    const struct {
        int id;
        std::vector<std::string> entries;
        float plain;
        const char* text;
        const char* labelled;
    } cases[] = {
        {ParameterId::FftSize, {}, 5.0f, "1024", "1024"},
        {ParameterId::FftSize, {}, 9.0f, "9", "9"},  // a stored value past the list
        {ParameterId::Overlap, {}, 2.0f, "8x", "8x"},
        {ParameterId::ViewYAxis, {}, 1.0f, "Linear", "Linear"},
        {ParameterId::ScriptIndex, kScripts, 1.0f, "Beta", "Beta"},
        {ParameterId::ScriptIndex, {}, 0.0f, "0", "0"},
        {ParameterId::ScriptIndex, tooLong, 0.0f, "", ""},
        {ParameterId::OscPortOffset, {}, 0.0f, "Off", "Off"},
        {ParameterId::OscPortOffset, {}, 12.0f, "12", "12"},
        {ParameterId::Scripted1, {}, -3.7f, "-3", "-3"},
        {ParameterId::Scripted1, {}, nan, "0", "0"},
        {ParameterId::WetLevel, {}, 0.5f, "-18.06", "-18.06 dB"},
        {ParameterId::WetLevel, {}, 1.0f, "0.000", "0.000 dB"},
        {ParameterId::DryLevel, {}, 0.0f, "-inf", "-inf dB"},
        {ParameterId::InputGain, {}, kGainFloorDb, "-inf", "-inf dB"},
        {ParameterId::OutputGain, {}, -6.5f, "-6.500", "-6.500 dB"},
        {ParameterId::ViewMinDb, {}, kGainFloorDb, "-80.00", "-80.00 dB"},  // not a gain: no word
        {ParameterId::ViewSmoothing, {}, 0.0f, "Off", "Off"},
        {ParameterId::ViewSmoothing, {}, 500.0f, "500.0", "500.0 ms"},
        {ParameterId::ViewMaxLinear, {}, 0.25f, "0.250", "0.250"},
        {kBinLevelBase + 7, {}, 1.0f, "1.000", "1.000"},
    };
    for (const auto& c : cases) {
        const ValueText texts = textsOf(c.id, c.entries);
        EXPECT_EQ(texts.text(c.plain), c.text) << c.id << " at " << c.plain;
        EXPECT_EQ(texts.labelledText(c.plain, Style::Host), c.labelled) << c.id << " at " << c.plain;
    }
}

TEST(ValueText, CompactTextsFitTheKnobFieldsAndShowNumbersForWords)
{
    const struct {
        int id;
        float plain;
        const char* text;
    } cases[] = {
        {ParameterId::InputGain, 0.0f, "0.0 dB"},     {ParameterId::InputGain, -6.5f, "-6.5 dB"},
        {ParameterId::InputGain, -80.0f, "-80 dB"},   {ParameterId::ViewMinDb, -160.0f, "-160dB"},
        {ParameterId::WetLevel, 0.5f, "-18.06 dB"},   {ParameterId::DryLevel, 0.0f, "-inf dB"},
        {ParameterId::ViewSmoothing, 0.0f, "0 ms"},   {ParameterId::ViewSmoothing, 499.6f, "500 ms"},
        {ParameterId::FftSize, 5.0f, "1024"},         {ParameterId::ViewMaxLinear, 1.0f, "1.000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textsOf(c.id).labelledText(c.plain, Style::Compact), c.text) << c.id << " at " << c.plain;
    }
    EXPECT_TRUE(ValueText::hasCompactForm(parameterInfo(ParameterId::OutputGain)));
    EXPECT_FALSE(ValueText::hasCompactForm(parameterInfo(ParameterId::FftSize)));
}

struct ParseCase {
    int id;
    const char* typed;
    std::optional<float> plain;
};

void expectReadings(const std::vector<ParseCase>& cases, Reading reading)
{
    for (const auto& c : cases) {
        const std::optional<float> read = instanceTextsOf(c.id).plainFromText(c.typed, reading);
        ASSERT_EQ(read.has_value(), c.plain.has_value()) << c.id << " \"" << c.typed << "\"";
        if (c.plain) {
            EXPECT_NEAR(*read, *c.plain, 0.001f) << c.id << " \"" << c.typed << "\"";
        }
    }
}

TEST(ValueText, TypedTextsReadBackAsDisplayedAndClampedIntoRange)
{
    expectReadings(
        {
            {ParameterId::FftSize, " 2048 ", 6.0f},
            {ParameterId::FftSize, "7", 7.0f},
            {ParameterId::ViewXAxis, "Linear", 1.0f},
            {ParameterId::ViewXAxis, "linear", std::nullopt},  // entries match exactly
            {ParameterId::ScriptIndex, "Beta", 1.0f},
            {ParameterId::ScriptIndex, "5", 1.0f},  // past the instance's last script
            {ParameterId::OscPortOffset, "Off", 0.0f},
            {ParameterId::WetLevel, "-18.06 dB", 0.5f},
            {ParameterId::WetLevel, "-18.06", 0.5f},
            {ParameterId::WetLevel, "+12 db", 1.0f},
            {ParameterId::DryLevel, "-inf", 0.0f},
            {ParameterId::InputGain, "-inf dB", kGainFloorDb},
            {ParameterId::InputGain, "100", 36.0f},
            {ParameterId::ViewSmoothing, "Off", 0.0f},
            {ParameterId::ViewSmoothing, "250 ms", 250.0f},
            {ParameterId::ViewMinDb, "-inf", std::nullopt},
            {ParameterId::ViewMaxLinear, "nan", std::nullopt},
            {ParameterId::ViewMaxLinear, "", std::nullopt},
            {ParameterId::ViewMaxLinear, "0,5", std::nullopt},
        },
        Reading::Displayed);
}

// The renderer's --set: a bare number is what the row stores, a number with its unit (or
// "-inf") is in the unit shown; words are the renderer's own business, ranges too.
TEST(ValueText, StoredNumbersAreTakenBareAndConvertedWithTheirUnit)
{
    expectReadings(
        {
            {ParameterId::WetLevel, "0.5", 0.5f},
            {ParameterId::WetLevel, "2", 2.0f},
            {ParameterId::WetLevel, "-18.06 dB", 0.5f},
            {ParameterId::WetLevel, "-18.06dB", 0.5f},
            {ParameterId::DryLevel, "-INF", 0.0f},
            {ParameterId::DryLevel, "-inf dB", 0.0f},
            {ParameterId::InputGain, "-6 dB", -6.0f},
            {ParameterId::InputGain, "-inf", std::nullopt},
            {ParameterId::ViewSmoothing, "250ms", 250.0f},
            {ParameterId::ViewSmoothing, "Off", std::nullopt},
            {ParameterId::FftSize, "1024", 1024.0f},
            {ParameterId::ScriptIndex, "Beta", std::nullopt},
            {ParameterId::ViewMaxLinear, "1 dB", std::nullopt},
        },
        Reading::StoredNumber);
}

TEST(ValueText, EveryListAndOnOffTextReadsBackToItsStep)
{
    for (int id : {ParameterId::FftSize, ParameterId::ViewXAxis, ParameterId::ScriptPosition, ParameterId::Overlap,
                   ParameterId::ScriptIndex}) {
        const ValueText texts = instanceTextsOf(id);
        const ParameterInfo row = id == ParameterId::ScriptIndex ? scriptRow() : parameterInfo(id);
        for (float step = row.minValue; step <= row.maxValue; step += 1.0f) {
            EXPECT_EQ(texts.plainFromText(texts.text(step)), step) << id << " \"" << texts.text(step) << "\"";
        }
    }
    const ValueText onOff(ParameterId::Scripted2, {"Switch", ParameterUnit::Boolean, 0, 1, 0});
    EXPECT_EQ(onOff.text(1.0f), "On");
    EXPECT_EQ(onOff.plainFromText("On"), 1.0f);
    EXPECT_EQ(onOff.plainFromText("Off"), 0.0f);
}

}  // namespace
