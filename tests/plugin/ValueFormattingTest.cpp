#include "engine/model/ValueFormatting.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

TEST(ValueFormatting, DecimalsShrinkAsTheMagnitudeGrows)
{
    EXPECT_EQ(formatParameterNumber(0.25f), "0.250");
    EXPECT_EQ(formatParameterNumber(-12.5f), "-12.50");
    EXPECT_EQ(formatParameterNumber(500.0f), "500.0");
    EXPECT_EQ(formatParameterNumber(2000.0f), "2000");
    EXPECT_EQ(formatParameterNumber(-160.0f), "-160.0");
    EXPECT_EQ(formatParameterNumber(0.0f), "0.000");
}

TEST(ValueFormatting, NonFiniteValuesGiveShortTexts)
{
    EXPECT_EQ(formatParameterNumber(NAN), "nan");
    EXPECT_EQ(formatParameterNumber(-INFINITY), "-inf");
    EXPECT_EQ(formatTruncatedInteger(NAN), "0");
    EXPECT_EQ(formatTruncatedInteger(1e30f), "2147483647");
    EXPECT_EQ(formatTruncatedInteger(-3.7f), "-3");
}

TEST(ValueFormatting, IgnoresACommaDecimalLocale)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    EXPECT_EQ(formatParameterNumber(0.25f), "0.250");
    EXPECT_EQ(parseParameterNumber("0.25"), 0.25f);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ValueFormatting, ReadsOneWholeFiniteNumber)
{
    const struct {
        const char* text;
        std::optional<float> number;
    } cases[] = {{"+1.5", 1.5f}, {"-18.06", -18.06f}, {"1e3", 1000.0f}, {"", std::nullopt}, {"+", std::nullopt},
                 {"1,5", std::nullopt}, {"6 dB", std::nullopt}, {"-inf", std::nullopt}, {"nan", std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(parseParameterNumber(c.text), c.number) << c.text;
    }
}
