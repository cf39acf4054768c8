#include "PluginFixture.h"

#include <cmath>
#include <cstring>
#include <limits>

TEST_F(PluginTest, NamesLabelsAndTextsOfTheControls)
{
    EXPECT_EQ(plugin->parameterName(0), "OSC Port Offset");
    EXPECT_EQ(plugin->parameterName(32), "Bin 0 Level");
    EXPECT_EQ(plugin->parameterName(2080), "Bin 2048 Level");
    EXPECT_EQ(plugin->parameterName(8), "View Min Linear");
    EXPECT_EQ(plugin->parameterLabel(11), "dB");
    EXPECT_EQ(plugin->parameterLabel(10), "ms");
    EXPECT_EQ(plugin->parameterLabel(40), "");
    EXPECT_EQ(plugin->parameterDisplay(3), "1024");
    EXPECT_EQ(plugin->parameterDisplay(0), "Off");
    EXPECT_EQ(plugin->parameterDisplay(14), "After");
    EXPECT_EQ(plugin->parameterDisplay(4), "Log");
    EXPECT_EQ(plugin->parameterDisplay(6), "-160.0");
    EXPECT_EQ(plugin->parameterDisplay(10), "500.0");
    EXPECT_EQ(plugin->parameterDisplay(13), "Off");
    EXPECT_EQ(plugin->getParameter(13), 0.0f);
}

TEST_F(PluginTest, DisplayTextsFollowTheValue)
{
    plugin->setParameter(11, 0.0f);
    EXPECT_EQ(plugin->parameterDisplay(11), "-inf");
    plugin->setParameter(11, normalized(-12.5f, -80.0f, 36.0f));
    EXPECT_EQ(plugin->parameterDisplay(11), "-12.50");
    plugin->setParameter(0, 0.12f);
    EXPECT_EQ(plugin->parameterDisplay(0), "12");
    plugin->setParameter(10, 0.0f);
    EXPECT_EQ(plugin->parameterDisplay(10), "Off");
    plugin->setParameter(15, 0.25f);
    EXPECT_EQ(plugin->parameterDisplay(15), "-50");
    plugin->setParameter(100, 0.25f);
    EXPECT_EQ(plugin->parameterDisplay(100), "0.250");
    plugin->setParameter(5, 1.0f);
    EXPECT_EQ(plugin->parameterDisplay(5), "Linear");
}

// The mix levels store a fader position whose cube is the gain: hosts see that gain in dB.
TEST_F(PluginTest, MixLevelsShowTheirGainInDecibels)
{
    const struct {
        float value;
        const char* shown;
    } cases[] = {{0.0f, "-inf"}, {0.25f, "-36.12"}, {0.5f, "-18.06"}, {0.999f, "-0.026"}, {1.0f, "0.000"}};
    for (int id : {1, 2}) {
        EXPECT_EQ(plugin->parameterLabel(id), "dB");
        for (const auto& c : cases) {
            plugin->setParameter(id, c.value);
            EXPECT_EQ(plugin->parameterDisplay(id), c.shown) << id << " at " << c.value;
            EXPECT_EQ(plugin->getParameter(id), c.value) << "the stored value is unchanged";
        }
    }
    EXPECT_EQ(plugin->parameterName(20), "Dummy") << "index-addressed hosts keep seeing the unused rows";
}

TEST_F(PluginTest, FftSizeChangeMovesTheLatencyAndTellsTheHostOnce)
{
    plugin->clearCalls();
    plugin->setParameter(3, 0.5f);
    EXPECT_EQ(plugin->parameterDisplay(3), "512");
    EXPECT_EQ(plugin->initialDelay(), 512);
    EXPECT_EQ(plugin->countCalls(audioMasterIOChanged), 1);
    plugin->setParameter(3, 0.5f);
    EXPECT_EQ(plugin->countCalls(audioMasterIOChanged), 1) << "no call when the delay stays";
    EXPECT_EQ(plugin->latencyAtLastIoChange(), 512);
}

TEST_F(PluginTest, NormalisedValuesRoundTrip)
{
    plugin->setParameter(2, 0.3f);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 0.3f);
    plugin->setParameter(3, 0.5f);
    EXPECT_FLOAT_EQ(plugin->getParameter(3), 4.0f / 7.0f);
    plugin->setParameter(500, 0.125f);
    EXPECT_FLOAT_EQ(plugin->getParameter(500), 0.125f);
}

TEST_F(PluginTest, IndicesOutsideTheTableDoNothingHarmful)
{
    const auto before = plugin->getChunk();
    for (int index : {-1, 2081, 100000, std::numeric_limits<int>::min()}) {
        plugin->setParameter(index, 0.5f);
        EXPECT_EQ(plugin->getParameter(index), 0.0f);
        EXPECT_EQ(plugin->parameterName(index), "");
        EXPECT_EQ(plugin->parameterLabel(index), "");
        EXPECT_EQ(plugin->parameterDisplay(index), "");
    }
    EXPECT_EQ(plugin->getChunk(), before);
    EXPECT_EQ(plugin->dispatch(effGetParamName, 5, 0, nullptr), 0) << "a null text pointer is ignored";
}

TEST_F(PluginTest, OutOfRangeAndNonFiniteHostValuesAreSafe)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int id : {0, 3, 11, 13, 14, 100}) {
        for (float value : {-1.0f, 2.0f, 1e30f, nan, inf, -inf}) {
            plugin->setParameter(id, value);
            (void)plugin->parameterDisplay(id);
            (void)plugin->getParameter(id);
        }
    }
    // Hosts only mean 0..1: values past the ends are taken as the ends, and
    // non-finite ones are ignored, so no gain or size can run away.
    plugin->setParameter(3, 2.0f);
    EXPECT_EQ(plugin->parameterDisplay(3), "4096");
    plugin->setParameter(3, nan);
    EXPECT_EQ(plugin->parameterDisplay(3), "4096");
    plugin->setParameter(3, -1.0f);
    EXPECT_EQ(plugin->initialDelay(), 32);
    plugin->setParameter(11, 1e30f);
    EXPECT_EQ(plugin->parameterDisplay(11), "36.00");
    std::vector<std::vector<float>> input(2, std::vector<float>(9000, 0.25f));
    const auto output = process(input, 512);
    for (float sample : output[0]) {
        ASSERT_TRUE(std::isfinite(sample));
    }
}
