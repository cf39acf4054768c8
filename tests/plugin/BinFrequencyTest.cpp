// Where frequencies fall among the bins, and frequencies as people write them.

#include "engine/model/BinFrequency.h"
#include "engine/model/FrequencyText.h"
#include "engine/model/ParameterTable.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

namespace {

struct RangeCase {
    int fftSize;
    double sampleRate;
    double loHz;
    double hiHz;
    int first;
    int last;
};

// Three FFT sizes at two rates: a bin is fs / N wide (44100 / 2048 = 21.53 Hz,
// 48000 / 256 = 187.5 Hz, 48000 / 4096 = 11.72 Hz).
const RangeCase kRanges[] = {
    {2048, 44100.0, 1000.0, 2000.0, 47, 92},     // 1012.1 .. 1981.1 Hz
    {2048, 44100.0, 0.0, 22050.0, 0, 1024},      // every bin, edges included
    {2048, 44100.0, 440.0, 441.0, 20, 20},       // narrower than a bin: the nearest (430.7 Hz)
    {256, 48000.0, 375.0, 750.0, 2, 4},          // edges on centres are inside
    {256, 48000.0, 300.0, 3400.0, 2, 18},        // 375 .. 3375 Hz
    {256, 48000.0, 24000.0, 24000.0, 128, 128},  // the highest bin
    {4096, 48000.0, 1000.0, 2000.0, 86, 170},    // 1007.8 .. 1992.2 Hz
    {4096, 44100.0, 20.0, 20.0, 2, 2},           // 21.5 Hz is nearer than 10.8 Hz
    {2000, 44000.0, 440.0, 440.0, 20, 20},       // exactly on a centre
};

TEST(BinFrequency, RangesTakeTheBinsWhoseCentreLiesInThemOrTheNearestOne)
{
    for (const RangeCase& c : kRanges) {
        SCOPED_TRACE(std::to_string(c.fftSize) + " at " + std::to_string(c.sampleRate) + ": " + std::to_string(c.loHz) +
                     " to " + std::to_string(c.hiHz));
        const auto bins = BinFrequency::make(c.fftSize, c.sampleRate);
        ASSERT_TRUE(bins.has_value());
        const auto range = bins->binsIn(c.loHz, c.hiHz);
        ASSERT_TRUE(range.has_value());
        EXPECT_EQ(range->first, c.first);
        EXPECT_EQ(range->last, c.last);
        if (c.loHz == c.hiHz) {
            EXPECT_EQ(bins->nearestBin(c.loHz), c.first);
        }
    }
}

TEST(BinFrequency, RangesTheBinsDoNotCoverAreRefusedWithTheReason)
{
    const BinFrequency bins(1024, 48000.0);
    EXPECT_EQ(bins.lastBin(), 512);
    EXPECT_DOUBLE_EQ(bins.highestHz(), 24000.0);
    EXPECT_EQ(bins.rangeProblem(100.0, 200.0), nullptr);
    for (const auto& [lo, hi] : {std::pair{-1.0, 10.0}, {10.0, 24001.0}, {2000.0, 1000.0}, {0.0, std::numeric_limits<double>::infinity()}}) {
        EXPECT_NE(bins.rangeProblem(lo, hi), nullptr) << lo << " to " << hi;
        EXPECT_FALSE(bins.binsIn(lo, hi).has_value());
    }
    char text[256];
    bins.describeRangeProblem(30000.0, 30000.0, text, sizeof text);
    EXPECT_STREQ(text, "30000 Hz: a frequency is above the highest bin (half the sample rate); the bins of FFT size "
                       "1024 at 48000 Hz run from 0 to 24000 Hz");
    EXPECT_FALSE(BinFrequency::make(1024, 0.0).has_value());
    EXPECT_FALSE(BinFrequency::make(0, 48000.0).has_value());
    // A stored "FFT Size" is its index: 3 is 256.
    EXPECT_EQ(BinFrequency::forStoredFftSize(3.0f, 48000.0)->fftSize(), 256);
}

TEST(BinFrequency, ReadoutNamesTheCentreAndNearestNote)
{
    EXPECT_EQ(BinFrequency(2048, 44100.0).readout(1), "21.5 Hz  F0 -23 cents");
    EXPECT_EQ(BinFrequency(2000, 44000.0).readout(20), "440.0 Hz  A4 +0 cents");
    EXPECT_EQ(BinFrequency(2048, 44100.0).readout(0), "0 Hz");
}

TEST(FrequencyText, NotesUnitsAndRanges)
{
    struct Case {
        const char* text;
        double lo;
        double hi;
        bool marked;
    };
    const Case cases[] = {
        {"A4", 440.0, 440.0, true},
        {"a3", 220.0, 220.0, true},
        {"C#3", 138.591315, 138.591315, true},
        {"Bb2", 116.540940, 116.540940, true},
        {"C-1", 8.175799, 8.175799, true},
        {"1k", 1000.0, 1000.0, true},
        {"2.5kHz", 2500.0, 2500.0, true},
        {"300 Hz", 300.0, 300.0, true},
        {"300", 300.0, 300.0, false},
        {"1k-2k Hz", 1000.0, 2000.0, true},
        {"300-3400Hz", 300.0, 3400.0, true},
        {"1-2 kHz", 1000.0, 2000.0, true},
        {" A3 - A4 ", 220.0, 440.0, true},
        {"C-1-C0", 8.175799, 16.351598, true},
        {"100-200", 100.0, 200.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto range = parseFrequencyRange(c.text);
        ASSERT_TRUE(range.has_value());
        EXPECT_NEAR(range->loHz, c.lo, 1e-5);
        EXPECT_NEAR(range->hiHz, c.hi, 1e-5);
        EXPECT_EQ(range->marked, c.marked);
    }
    for (const char* text : {"", "Hz", "H4", "A", "A#", "1kk", "Input Gain", "Bin 5 Level", "1k-", "-"})
        EXPECT_FALSE(parseFrequencyRange(text).has_value()) << text;
}

TEST(FrequencyText, ReadWithADotWhateverTheLocale)
{
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale";
    EXPECT_EQ(parseFrequency("2.5k"), 2500.0);
    char text[256];
    BinFrequency(4096, 44100.0).describeRangeProblem(-0.5, 10.0, text, sizeof text);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(std::string(text).rfind("-0.5 to 10 Hz: ", 0), 0u) << text;
}

TEST(FrequencyText, NearestNoteAndItsName)
{
    EXPECT_EQ(noteName(nearestNote(440.0).midiNote), "A4");
    EXPECT_EQ(noteName(nearestNote(noteFrequency("Bb2").value()).midiNote), "A#2");
    const NearestNote f0 = nearestNote(44100.0 / 2048.0);
    EXPECT_EQ(noteName(f0.midiNote), "F0");
    EXPECT_EQ(f0.cents, -23);
}

}  // namespace
