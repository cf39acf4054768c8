// Setting parameters by name in plain units, against the test plug-in with catalogues
// that describe it the way the real parameter table describes Lumenfold.

#include "tools/host/PluginInstance.h"
#include "tools/render/NameSuggestions.h"
#include "tools/render/ParameterAssigner.h"
#include "tools/render/ParameterCatalog.h"
#include "tools/render/PluginParameterCatalog.h"
#include "tools/render/RenderError.h"

#include <gtest/gtest.h>


using lfrender::ParameterAssigner;
using lfrender::ParameterRange;
using lfrender::RenderError;

namespace {

// "Gain" in plain units 0..2 (the plug-in's factor), "Latency" 0..1, "Mode" indexed with
// its maximum either known (2) or left to the plug-in.
class GainCatalog : public lfrender::ParameterCatalog {
public:
    explicit GainCatalog(bool modeMaximumFromPlugin) : modeMaximumFromPlugin_(modeMaximumFromPlugin) {}

    int findByName(std::string_view name) const override
    {
        if (name == "Gain") return 0;
        if (name == "Latency") return 1;
        if (name == "Mode") return 2;
        return -1;
    }
    ParameterRange range(int id) const override
    {
        if (id == 0) return {0.0f, 2.0f, false, false};
        if (id == 2) return {0.0f, modeMaximumFromPlugin_ ? 0.0f : 2.0f, true, modeMaximumFromPlugin_};
        return {};
    }
    float plainToNormalized(int id, float plain) const override { return id == 0 ? plain / 2.0f : plain; }

private:
    bool modeMaximumFromPlugin_;
};

class ParameterAssignment : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        plugin = lfhost::PluginInstance::create(LFTEST_GAIN_PLUGIN, &error);
        ASSERT_NE(plugin, nullptr) << error;
    }

    void expectRefused(const lfrender::ParameterCatalog& catalog, const std::string& name, const std::string& value,
                       const std::string& reasonPart)
    {
        ParameterAssigner assigner(*plugin, catalog);
        try {
            assigner.assign(name, value);
            ADD_FAILURE() << name << "=" << value << " was accepted";
        } catch (const RenderError& error) {
            EXPECT_NE(std::string(error.what()).find(reasonPart), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
        }
    }

    std::unique_ptr<lfhost::PluginInstance> plugin;
};

TEST_F(ParameterAssignment, PlainValueIsMappedThroughTheCatalogue)
{
    GainCatalog catalog(false);
    ParameterAssigner(*plugin, catalog).assign("Gain", "1.5");
    EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.75f);
    EXPECT_EQ(plugin->parameterDisplay(0), "1.50");
}

TEST_F(ParameterAssignment, ValuesBeyondTheRangeAreClampedToItsEnds)
{
    GainCatalog catalog(false);
    ParameterAssigner assigner(*plugin, catalog);
    const struct {
        const char* name;
        const char* value;
        float normalized;
    } cases[] = {{"Gain", "0", 0.0f}, {"Gain", "2", 1.0f},  {"Gain", "-0.5", 0.0f},
                 {"Gain", "2.001", 1.0f}, {"Mode", "3", 1.0f}, {"Mode", "-7", 0.0f}};
    for (const auto& c : cases) {
        assigner.assign(c.name, c.value);
        EXPECT_FLOAT_EQ(plugin->getParameter(c.name[0] == 'G' ? 0 : 2), c.normalized) << c.name << "=" << c.value;
    }
}

TEST_F(ParameterAssignment, UnknownNamesAndNonNumbersAreRefused)
{
    GainCatalog catalog(false);
    expectRefused(catalog, "Volume", "1", "unknown parameter \"Volume\"");
    expectRefused(catalog, "gain", "1", "unknown parameter");
    expectRefused(catalog, "Gain", "loud", "not a value");
    expectRefused(catalog, "Gain", "1,5", "not a value");
    expectRefused(catalog, "Gain", "nan", "not a value");
    expectRefused(catalog, "Gain", "", "not a value");
}

TEST_F(ParameterAssignment, IndexedRowAcceptsItsDisplayTexts)
{
    GainCatalog catalog(false);
    ParameterAssigner assigner(*plugin, catalog);
    assigner.assign("Mode", "Hard");
    EXPECT_EQ(plugin->parameterDisplay(2), "Hard");
    assigner.assign("Mode", "Wild");
    EXPECT_EQ(plugin->parameterDisplay(2), "Wild");
    assigner.assign("Mode", "Soft");
    EXPECT_EQ(plugin->parameterDisplay(2), "Soft");
}

TEST_F(ParameterAssignment, IndexedRowAcceptsWholeNumbersInRange)
{
    GainCatalog catalog(false);
    ParameterAssigner(*plugin, catalog).assign("Mode", "1");
    EXPECT_EQ(plugin->parameterDisplay(2), "Hard");
    expectRefused(catalog, "Mode", "0.5", "not a whole number");
    expectRefused(catalog, "Mode", "Gentle", "display texts");
}

TEST_F(ParameterAssignment, UnmatchedDisplayTextLeavesTheValueAsItWas)
{
    GainCatalog catalog(false);
    ParameterAssigner assigner(*plugin, catalog);
    assigner.assign("Mode", "Hard");
    expectRefused(catalog, "Mode", "Gentle", "display texts");
    EXPECT_EQ(plugin->parameterDisplay(2), "Hard");
}

TEST_F(ParameterAssignment, MaximumKnownOnlyToThePluginIsAskedOfIt)
{
    GainCatalog catalog(true);
    ParameterAssigner assigner(*plugin, catalog);
    plugin->setParameter(2, 0.5f);
    EXPECT_EQ(assigner.discoverIndexedMaximum(2), 2);
    EXPECT_EQ(plugin->parameterDisplay(2), "Hard");  // restored after probing
    assigner.assign("Mode", "2");
    EXPECT_EQ(plugin->parameterDisplay(2), "Wild");
    assigner.assign("Mode", "Soft");
    EXPECT_EQ(plugin->parameterDisplay(2), "Soft");
    assigner.assign("Mode", "3");
    EXPECT_EQ(plugin->parameterDisplay(2), "Wild") << "past the plug-in's maximum: its last value";
}

TEST_F(ParameterAssignment, PluginReportedNamesWorkWithoutATable)
{
    lfrender::PluginParameterCatalog catalog(*plugin);
    EXPECT_EQ(catalog.findByName("Latency"), 1);
    EXPECT_EQ(catalog.findByName("Nothing"), -1);
    ParameterAssigner(*plugin, catalog).assign("Latency", "0.25");
    EXPECT_EQ(plugin->initialDelay(), 250);
    expectRefused(catalog, "Latency", "inf", "finite number");
}

TEST_F(ParameterAssignment, BlanksAroundNameAndValueAreIgnoredAndZeroToOneRowsTakePercentages)
{
    GainCatalog catalog(false);
    ParameterAssigner assigner(*plugin, catalog);
    assigner.assign(" Gain ", " 1.5 ");
    EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.75f);
    assigner.assign("Latency", "25 %");
    EXPECT_FLOAT_EQ(plugin->getParameter(1), 0.25f);
    expectRefused(catalog, "Gain", "50%", "only parameters that run from 0 to 1 take a percentage");
    expectRefused(catalog, "Mode", "50%", "only parameters that run from 0 to 1 take a percentage");
    expectRefused(catalog, "Latency", "half%", "\"half%\" is not a value for \"Latency\"");
}

TEST_F(ParameterAssignment, RefusalsSuggestTheClosestNameAndListTheRowsTexts)
{
    GainCatalog catalog(false);
    expectRefused(catalog, "Gian", "1", "unknown parameter \"Gian\": did you mean \"Gain\"?");
    expectRefused(catalog, "Mode", "hardd",
                  "\"hardd\" is not a value for \"Mode\": expected a whole number from 0 to 2 or one of its display "
                  "texts: \"Soft\", \"Hard\" or \"Wild\" (did you mean \"Hard\"?)");
}

TEST(NameSuggestions, CloseNamesWordPrefixesAndNumberedFamilies)
{
    const std::vector<std::string> names = {"Dry Level", "Wet Level", "Input Gain", "Output Gain",
                                            "Bin 0 Level", "Bin 1 Level", "Bin 2048 Level"};
    const struct {
        const char* typed;
        std::vector<std::string> closest;
    } cases[] = {{"Wet", {"Wet Level"}},
                 {"gain", {"Input Gain", "Output Gain"}},
                 {"Inptu  Gain", {"Input Gain"}},
                 {"bin level", {"Bin N Level"}},
                 {"Bin 9999 Levl", {"Bin N Level"}},
                 {"Tempo", {}}};
    for (const auto& c : cases) EXPECT_EQ(lfrender::closestNames(c.typed, names), c.closest) << c.typed;
    const auto family = lfrender::numberedFamilyOf("bin 5000 LEVEL", names);
    ASSERT_TRUE(family);
    EXPECT_EQ(family->pattern, "Bin N Level");
    EXPECT_EQ(family->first, 0);
    EXPECT_EQ(family->last, 2048);
    EXPECT_FALSE(lfrender::numberedFamilyOf("Wet Level", names));
    EXPECT_EQ(lfrender::didYouMean({"A", "B", "C"}), "did you mean \"A\", \"B\" or \"C\"?");
}

TEST(PlainNumbers, ReadWithADotWhateverTheLocale)
{
    EXPECT_EQ(lfrender::parsePlainNumber("-12.5"), -12.5f);
    EXPECT_EQ(lfrender::parsePlainNumber("+3"), 3.0f);
    EXPECT_EQ(lfrender::parsePlainNumber("1e-3"), 0.001f);
    EXPECT_FALSE(lfrender::parsePlainNumber("12.5dB"));
    EXPECT_FALSE(lfrender::parsePlainNumber(" 1"));
    EXPECT_FALSE(lfrender::parsePlainNumber("inf"));
    EXPECT_FALSE(lfrender::parsePlainNumber("+"));
}

}  // namespace
