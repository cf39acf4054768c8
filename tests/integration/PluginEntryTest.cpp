#include "PluginFixture.h"

#include <cstring>

TEST(PluginEntry, RefusesAHostWithoutAVersion)
{
    lfhost::HostOptions options;
    options.hostVersion = 0;
    std::string error;
    EXPECT_EQ(lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error, options), nullptr);
}

TEST_F(PluginTest, DescriptorIsFilledAsHostsExpect)
{
    const AEffect* effect = plugin->effect();
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->flags, 0x39);
    EXPECT_EQ(effect->uniqueID, fourCharCode('Q', 'N', 'l', 'f'));
    EXPECT_EQ(effect->version, 1020);
    EXPECT_EQ(effect->initialDelay, 1024);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->numParams, 2081);
    EXPECT_GE(effect->numPrograms, 17) << "\"Defaults\" and the factory presets";
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_NE(effect->processReplacing, nullptr);
}

TEST_F(PluginTest, IdentifiesItself)
{
    EXPECT_EQ(plugin->effectName(), "Lumenfold");
    EXPECT_EQ(plugin->productString(), "Lumenfold");
    EXPECT_EQ(plugin->vendorString(), "Corvanne");
    // Hosts read one decimal digit per part: 1.0.2.0, the product's version.
    EXPECT_EQ(plugin->vendorVersion(), 1020);
    EXPECT_EQ(plugin->vstVersion(), 2400);
    EXPECT_EQ(plugin->dispatch(effIdentify), fourCharCode('N', 'v', 'E', 'f'));
    EXPECT_EQ(plugin->dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(plugin->dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(plugin->dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(plugin->dispatch(effKeysRequired), 1);
    EXPECT_EQ(plugin->dispatch(effSetTotalSampleToProcess, 0, 777), 777);
    EXPECT_EQ(plugin->dispatch(effGetTailSize), 0);
    EXPECT_EQ(plugin->dispatch(12345), 0) << "unknown opcodes answer 0";
}

TEST_F(PluginTest, CanDoOnlyReceiveMidiEvents)
{
    EXPECT_TRUE(plugin->canDo("receiveVstMidiEvent"));
    EXPECT_FALSE(plugin->canDo("receiveVstEvents"));
    EXPECT_FALSE(plugin->canDo("sendVstMidiEvent"));
    EXPECT_FALSE(plugin->canDo(""));
    EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(PluginTest, ResumeAsksForMidi)
{
    plugin->clearCalls();
    plugin->resume();
    const auto calls = plugin->calls();
    ASSERT_EQ(plugin->countCalls(audioMasterWantMidi), 1);
    for (const auto& call : calls) {
        if (call.opcode == audioMasterWantMidi) {
            EXPECT_EQ(call.value, 1);
        }
    }
    plugin->suspend();
}

TEST_F(PluginTest, SpeakerArrangementQueryClearsBothPointers)
{
    int dummy = 0;
    void* input = &dummy;
    void* output = &dummy;
    EXPECT_EQ(plugin->dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
}

TEST_F(PluginTest, ProgramNameIsDefaultsAndCanBeRenamed)
{
    EXPECT_EQ(plugin->programName(), "Defaults");
    char name[64] = "Night Shimmer";
    plugin->dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(plugin->programName(), "Night Shimmer");
    char indexed[64] = {};
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 0, 0, indexed), 1);
    EXPECT_STREQ(indexed, "Night Shimmer");
    const VstInt32 programCount = plugin->effect()->numPrograms;
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, programCount, 0, indexed), 0);
    plugin->dispatch(effSetProgram, 0, programCount);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 0) << "a program past the list is ignored";
}

TEST(PluginEntry, InstancesAreIndependent)
{
    auto first = loadPlugin();
    auto second = loadPlugin();
    ASSERT_TRUE(first && second);
    first->setParameter(3, 0.0f);
    EXPECT_EQ(first->initialDelay(), 32);
    EXPECT_EQ(second->initialDelay(), 1024);
    EXPECT_EQ(second->parameterDisplay(3), "1024");
}
