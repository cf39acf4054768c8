#include "engine/model/ParameterTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

TEST(ParameterTable, HasTheControlsFollowedByOneLevelPerBin)
{
    EXPECT_STREQ(parameterInfo(0).name, "OSC Port Offset");
    EXPECT_STREQ(parameterInfo(3).name, "FFT Size");
    EXPECT_STREQ(parameterInfo(18).name, "Scripted 4");
    EXPECT_STREQ(parameterInfo(19).name, "Overlap");
    for (int id = 20; id < 32; ++id) {
        EXPECT_STREQ(parameterInfo(id).name, "Dummy");
    }
    EXPECT_STREQ(parameterInfo(32).name, "Bin 0 Level");
    EXPECT_STREQ(parameterInfo(2080).name, "Bin 2048 Level");
    EXPECT_EQ(parameterInfo(2080).defaultValue, 1.0f);
    EXPECT_FALSE(isValidParameterId(-1));
    EXPECT_FALSE(isValidParameterId(2081));
}

TEST(ParameterTable, FindsRowsByExactName)
{
    EXPECT_EQ(findParameterByName("Input Gain"), 11);
    EXPECT_EQ(findParameterByName("Bin 100 Level"), 132);
    EXPECT_EQ(findParameterByName("input gain"), -1);
    EXPECT_EQ(findParameterByName(""), -1);
}

TEST(ParameterTable, IndexedValuesRoundHalvesUp)
{
    EXPECT_EQ(normalizedToPlain(3, 0.5f), 4.0f);  // floor(7 * 0.5 + 0.5)
    EXPECT_EQ(normalizedToPlain(3, 0.0f), 0.0f);
    EXPECT_EQ(normalizedToPlain(3, 1.0f), 7.0f);
    EXPECT_EQ(normalizedToPlain(15, 0.5f), 0.0f);
    EXPECT_EQ(normalizedToPlain(0, 0.12f), 12.0f);
}

TEST(ParameterTable, LinearRowsMapBothWays)
{
    EXPECT_FLOAT_EQ(normalizedToPlain(11, 0.0f), -80.0f);
    EXPECT_FLOAT_EQ(normalizedToPlain(11, 1.0f), 36.0f);
    EXPECT_FLOAT_EQ(plainToNormalized(11, -12.5f), (-12.5f + 80.0f) / 116.0f);
    EXPECT_FLOAT_EQ(plainToNormalized(10, 500.0f), 0.25f);
    for (float x : {0.0f, 0.25f, 0.5f, 1.0f}) {
        EXPECT_FLOAT_EQ(plainToNormalized(40, normalizedToPlain(40, x)), x);
    }
}

TEST(ParameterTable, ScriptIndexWithoutScriptsReadsZero)
{
    EXPECT_EQ(plainToNormalized(13, 0.0f), 0.0f);
    EXPECT_EQ(plainToNormalized(13, 3.0f), 0.0f);
    ParameterInfo row = parameterInfo(13);
    row.maxValue = 6.0f;  // as an instance with seven entries has it
    EXPECT_FLOAT_EQ(plainToNormalized(row, 3.0f), 0.5f);
    EXPECT_EQ(normalizedToPlain(row, 1.0f), 6.0f);
}

TEST(ParameterTable, PlainValuesAreClampedAndNonFiniteOnesRefused)
{
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        int id;
        float given;
        std::optional<float> admitted;
    } cases[] = {
        {12, 200.0f, 36.0f}, {11, -1000.0f, -80.0f}, {11, -12.5f, -12.5f}, {0, 5000.0f, 100.0f},
        {40, -0.5f, 0.0f},   {40, 0.25f, 0.25f},     {2, inf, std::nullopt}, {2, -inf, std::nullopt},
        {2, std::numeric_limits<float>::quiet_NaN(), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(admittedPlainValue(parameterInfo(c.id), c.given), c.admitted) << c.id << " " << c.given;
    }
}

// A plain value from OSC, scripts or the editor is stored as given (no trip through 0..1
// to blur it); list rows hold the nearest whole step.
TEST(ParameterTable, StoredValuesKeepTheirStepOrExactlyTheirValue)
{
    const struct {
        int id;
        float given;
        float stored;
    } cases[] = {{3, 2.5f, 3.0f}, {3, 2.49f, 2.0f}, {15, -2.5f, -2.0f}, {11, -12.3f, -12.3f}, {10, 0.7f, 0.7f}};
    for (const auto& c : cases) {
        EXPECT_EQ(steppedPlainValue(parameterInfo(c.id), c.given), c.stored) << c.id << " " << c.given;
    }
}

TEST(ParameterTable, StoredSizeValuesAreClampedToTheEightSizes)
{
    EXPECT_EQ(fftSizeIndexFromValue(5.0f), 5);
    EXPECT_EQ(fftSizeIndexFromValue(5.9f), 5);
    EXPECT_EQ(fftSizeIndexFromValue(99.0f), 7);
    EXPECT_EQ(fftSizeIndexFromValue(-3.0f), 0);
    EXPECT_EQ(fftSizeIndexFromValue(std::numeric_limits<float>::quiet_NaN()), kDefaultFftSizeIndex);
    EXPECT_EQ(fftSizeIndexFromValue(std::numeric_limits<float>::infinity()), 7);
    EXPECT_EQ(fftSizeIndexFromValue(-std::numeric_limits<float>::infinity()), 0);
}

// Old states hold 0 in the row that became "Overlap", and a chunk may hold anything.
TEST(ParameterTable, StoredOverlapValuesAreClampedToTheThreeOverlaps)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float stored;
        int overlap;
    } cases[] = {{0.0f, 2}, {1.0f, 4}, {2.0f, 8}, {1.9f, 4}, {7.0f, 8}, {-1.0f, 2}, {nan, 2}, {inf, 8}, {-inf, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(overlapFromIndex(overlapIndexFromValue(c.stored)), c.overlap) << c.stored;
    }
    const ParameterInfo row = parameterInfo(ParameterId::Overlap);
    EXPECT_EQ(row.unit, ParameterUnit::Indexed);
    EXPECT_EQ(row.maxValue, 2.0f);
    EXPECT_EQ(row.defaultValue, 0.0f);
}

TEST(ParameterTable, LabelsFollowTheUnit)
{
    EXPECT_STREQ(unitLabel(parameterInfo(11).unit), "dB");
    EXPECT_STREQ(unitLabel(parameterInfo(10).unit), "ms");
    EXPECT_STREQ(unitLabel(parameterInfo(3).unit), "");
    EXPECT_STREQ(unitLabel(parameterInfo(1).unit), "dB");
    EXPECT_STREQ(unitLabel(ParameterUnit::Hertz), "Hz");
}

// The mix levels' gain is their value cubed: they show it in dB and read dB back; every
// other row shows its plain value.
TEST(ParameterTable, MixLevelsShowTheirGainInDecibelsAndReadItBack)
{
    const ParameterInfo wet = parameterInfo(ParameterId::WetLevel);
    const struct {
        float plain;
        const char* text;
    } cases[] = {{1.0f, "0.000"}, {0.5f, "-18.06"}, {0.1f, "-60.00"}, {1e-6f, "-360.0"}, {0.0f, "-inf"}};
    for (const auto& c : cases) {
        EXPECT_EQ(displayedNumberText(wet, c.plain), c.text) << c.plain;
        const float shown = displayedNumber(wet, c.plain);
        EXPECT_NEAR(plainFromDisplayedNumber(wet, shown), c.plain, c.plain * 1e-5f) << c.text;
    }
    EXPECT_NEAR(plainFromDisplayedNumber(wet, -18.06f), 0.5f, 1e-4f) << "the text reads back nearly";
    EXPECT_EQ(admittedPlainValue(wet, plainFromDisplayedNumber(wet, 1e30f)), 1.0f) << "clamped, not refused";
    EXPECT_FALSE(admittedPlainValue(wet, plainFromDisplayedNumber(wet, std::nanf(""))));
    EXPECT_EQ(displayedNumberText(wet, -0.5f), "-inf");
    EXPECT_EQ(displayedNumberText(parameterInfo(ParameterId::InputGain), -6.0f), "-6.000");
}
