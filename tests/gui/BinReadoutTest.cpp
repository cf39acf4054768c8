// The banner's frequency and note read-out of the bin-level parameters.

#include "FakePluginConnection.h"

#include "editor/product/BinReadout.h"
#include "editor/product/TKmanager.h"
#include "editor/toolkit/PendingParameterChanges.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(BinReadout, FirstBinAt44100WithSize2048IsTwentyOneHertzNearF0)
{
    EXPECT_EQ(binReadout(kBinLevelBase + 1, 44100.0f, 2048), "21.5 Hz  F0 -23 cents");
}

TEST(BinReadout, BinZeroIsZeroHertzWithoutANote)
{
    EXPECT_EQ(binReadout(kBinLevelBase, 44100.0f, 2048), "0 Hz");
}

TEST(BinReadout, ConcertPitchBinReadsA4WithoutDeviation)
{
    // 440 Hz is bin 20 at 44 000 Hz with size 2000: exactly A, octave 4.
    EXPECT_EQ(binReadout(kBinLevelBase + 20, 44000.0f, 2000), "440.0 Hz  A4 +0 cents");
}

TEST(BinReadout, ParametersThatAreNotBinsHaveNoReadout)
{
    EXPECT_EQ(binReadout(ParameterId::InputGain, 44100.0f, 2048), "");
    EXPECT_EQ(binReadout(kParameterCount, 44100.0f, 2048), "");
}

TEST(BinReadout, UsesADecimalPointUnderACommaLocale)
{
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale installed";
    const std::string text = binReadout(kBinLevelBase + 1, 44100.0f, 2048);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(text, "21.5 Hz  F0 -23 cents");
}

TEST(BinReadout, PluginManagerReadsTheFftSizeAndSampleRateFromThePlugin)
{
    FakePluginConnection plugin;
    plugin.setValue(ParameterId::FftSize, 6.0f);  // 32 << 6 = 2048
    QN::PendingParameterChanges pending(kParameterCount);
    TKmanager manager(plugin, pending);
    EXPECT_EQ(manager.readout(kBinLevelBase + 1).info, "21.5 Hz  F0 -23 cents");
    EXPECT_EQ(manager.readout(kBinLevelBase).info, "0 Hz");
    EXPECT_EQ(manager.readout(kBinLevelBase + 1).name, "Bin 1 Level");
    plugin.rate = 88200.0f;
    EXPECT_EQ(manager.readout(kBinLevelBase + 1).info.substr(0, 8), "43.1 Hz ");
}

}  // namespace
