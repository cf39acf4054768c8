// Bin levels set by frequency from scripts (setBinLevelsHz, getBinForHz) and from OSC
// (/setBinLevelsHz), mapped with the instance's FFT size and sample rate.

#include "OscTestInstance.h"
#include "engine/model/ParameterTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Bytes setBinLevelsHz(float loHz, float hiHz, float level)
{
    return oscMessage("/setBinLevelsHz", [=](auto& s) { s << loHz << hiHz << level; });
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class BinLevelsByFrequency : public testing::Test {
protected:
    float level(int bin) const { return instance.plugin.values[static_cast<std::size_t>(kBinLevelBase + bin)]; }
    // The bins first..last hold `inside`, their neighbours still their default 1.
    void expectOnlyBinsSet(int first, int last, float inside) const
    {
        EXPECT_EQ(level(first - 1), 1.0f);
        EXPECT_EQ(level(first), inside);
        EXPECT_EQ(level(last), inside);
        EXPECT_EQ(level(last + 1), 1.0f);
        EXPECT_EQ(instance.plugin.automation.size(), static_cast<std::size_t>(last - first + 1));
    }

    OscTestInstance instance;
};

}  // namespace

// At 48000 Hz and the default size 1024 a bin is 46.875 Hz wide: 1000..2000 Hz holds the
// centres of bins 22 (1031.25 Hz) to 42 (1968.75 Hz); 440 Hz is nearest bin 9.
TEST_F(BinLevelsByFrequency, ScriptsSetTheBinsOfARangeAndFindTheBinOfAFrequency)
{
    EXPECT_EQ(instance.run("first, last = setBinLevelsHz(1000, 2000, 0.25); a4 = getBinForHz(440)"), "");
    EXPECT_EQ(instance.number("first"), 22);
    EXPECT_EQ(instance.number("last"), 42);
    EXPECT_EQ(instance.number("a4"), 9);
    expectOnlyBinsSet(22, 42, 0.25f);

    instance.plugin.automation.clear();
    const struct {
        const char* code;
        const char* error;
    } refusals[] = {
        {"setBinLevelsHz(1000, 30000, 0)", "above the highest bin"},
        {"setBinLevelsHz(2000, 1000, 0)", "runs backwards"},
        {"setBinLevelsHz(-5, 10, 0)", "below 0 Hz"},
        {"setBinLevelsHz(100, 200, 0/0)", "not a finite number"},
        {"setBinLevelsHz('low', 200, 0)", "number expected"},
        {"getBinForHz(24000.5)", "the bins of FFT size 1024 at 48000 Hz run from 0 to 24000 Hz"},
    };
    for (const auto& refusal : refusals) {
        const std::string error = instance.run(refusal.code);
        EXPECT_TRUE(contains(error, refusal.error)) << refusal.code << ": " << error;
    }
    instance.plugin.rate = 0.0f;
    EXPECT_TRUE(contains(instance.run("getBinForHz(440)"), "sample rate is not known yet"));
    EXPECT_TRUE(instance.plugin.automation.empty()) << "a refused call changes nothing";
}

// At 44100 Hz and size 256 a bin is 172.27 Hz wide: 1000..2000 Hz are bins 6 to 11.
TEST_F(BinLevelsByFrequency, OscSetsTheBinsOfARangeAndRefusesOneTheBinsDoNotCover)
{
    instance.plugin.rate = 44100.0f;
    instance.plugin.values[ParameterId::FftSize] = 3.0f;
    EXPECT_EQ(instance.handle(setBinLevelsHz(1000.0f, 2000.0f, 0.5f)), "");
    expectOnlyBinsSet(6, 11, 0.5f);
    EXPECT_TRUE(instance.network.sent().empty());

    instance.plugin.automation.clear();
    EXPECT_EQ(instance.handle(setBinLevelsHz(1000.0f, 30000.0f, 0.0f)),
              "error while parsing message: /setBinLevelsHz: 1000 to 30000 Hz: a frequency is above the highest bin "
              "(half the sample rate); the bins of FFT size 256 at 44100 Hz run from 0 to 22050 Hz\n");
    EXPECT_TRUE(contains(instance.handle(oscMessage("/setBinLevelsHz", [](auto& s) { s << 1.0f << 2.0f; })),
                         "/setBinLevelsHz: missing argument"));
    EXPECT_TRUE(instance.plugin.automation.empty());
}
