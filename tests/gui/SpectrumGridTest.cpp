// Where the spectrum display's grid lines and labels go.

#include "editor/product/SpectrumGrid.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using QN::SpectrumGrid;

SpectrumGrid::Axes axes(bool logFrequency, bool decibels, float low, float high)
{
    SpectrumGrid::Axes a;
    a.sizeIndex = 5;  // 1024 points
    a.logFrequency = logFrequency;
    a.decibels = decibels;
    a.viewMin = low, a.viewMax = high;
    a.sampleRate = 48000.0f;
    return a;
}

std::vector<std::string> labels(const std::vector<SpectrumGrid::Tick>& ticks)
{
    std::vector<std::string> texts;
    for (const auto& tick : ticks) texts.push_back(tick.label);
    return texts;
}

TEST(SpectrumGrid, TheLogarithmicAxisIsLabelledAtTheUsualFrequenciesFromLeftToRight)
{
    const auto ticks = SpectrumGrid::frequencyTicks(axes(true, true, -160, 0));
    EXPECT_EQ(labels(ticks), (std::vector<std::string>{"20 Hz", "50", "100", "200", "500", "1k", "2k", "5k", "10k",
                                                         "20k"}));
    for (std::size_t i = 1; i < ticks.size(); ++i) EXPECT_GT(ticks[i].position, ticks[i - 1].position);
    EXPECT_GT(ticks.front().position, 0.0f);
    EXPECT_LT(ticks.back().position, 1.0f);
}

TEST(SpectrumGrid, TheLinearAxisIsLabelledInEvenRoundStepsBelowHalfTheSampleRate)
{
    const auto ticks = SpectrumGrid::frequencyTicks(axes(false, true, -160, 0));
    EXPECT_EQ(labels(ticks), (std::vector<std::string>{"2.5k Hz", "5k", "7.5k", "10k", "12.5k", "15k", "17.5k",
                                                         "20k", "22.5k"}));
    const float step = ticks[1].position - ticks[0].position;
    for (std::size_t i = 1; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i].position - ticks[i - 1].position, step, 1e-5f);
}

TEST(SpectrumGrid, AFrequencySitsInTheMiddleOfItsBinsColumn)
{
    // 1024 points at 48 kHz: bin 10 is 468.75 Hz; linear columns are 1/513 wide.
    EXPECT_NEAR(SpectrumGrid::frequencyPosition(468.75, axes(false, true, -160, 0)), 10.5f / 513.0f, 1e-6f);
    // Logarithmic: bin 10's column runs from ln(9 * 4 + 2) to ln(10 * 4 + 2) of ln 2051.
    const float middle = static_cast<float>((std::log(38.0) + std::log(42.0)) / 2 / std::log(2051.0));
    EXPECT_NEAR(SpectrumGrid::frequencyPosition(468.75, axes(true, true, -160, 0)), middle, 1e-6f);
}

TEST(SpectrumGrid, LevelLabelsSpanTheViewRangeInItsUnit)
{
    EXPECT_EQ(labels(SpectrumGrid::levelTicks(axes(true, true, -160, 0))),
              (std::vector<std::string>{"-150 dB", "-100 dB", "-50 dB", "0 dB"}));
    const auto linear = SpectrumGrid::levelTicks(axes(true, false, 0, 1));
    EXPECT_EQ(labels(linear), (std::vector<std::string>{"0", "0.2", "0.4", "0.6", "0.8", "1"}));
    EXPECT_FLOAT_EQ(linear.front().position, 0.0f);
    EXPECT_FLOAT_EQ(linear.back().position, 1.0f);
    EXPECT_TRUE(SpectrumGrid::levelTicks(axes(true, true, 0, 0)).empty()) << "an empty range has no labels";
}

}  // namespace
