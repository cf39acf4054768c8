// The host callback: routing to the right instance, its answers, and the call log.

#include "tests/tools/TestPluginHooks.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <thread>

using lfhost::HostCallLog;
using lfhost::HostOptions;
using lfhost::PluginInstance;

namespace {

constexpr int kWaitMs = 5000;

std::unique_ptr<PluginInstance> loadGain(HostOptions options = {})
{
    std::string error;
    auto plugin = PluginInstance::create(LFTEST_GAIN_PLUGIN, &error, options);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
}

VstIntPtr askHost(PluginInstance& plugin, int opcode)
{
    return plugin.dispatch(effVendorSpecific, kHookAskHost, opcode);
}

TEST(HostCallbackRouting, CallsDuringCreationReachTheInstanceBeingCreated)
{
    HostOptions options;
    options.sampleRate = 22050.0f;
    auto plugin = loadGain(options);
    // The test plug-in asks for the version (no record yet) and the sample rate (record
    // given but user not yet set) from inside its entry point.
    const auto calls = plugin->calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[1].opcode, audioMasterGetSampleRate);
}

TEST(HostCallbackRouting, TwoInstancesEachSeeOnlyTheirOwnCalls)
{
    HostOptions first;
    first.sampleRate = 48000.0f;
    HostOptions second;
    second.sampleRate = 96000.0f;
    auto a = loadGain(first);
    auto b = loadGain(second);
    a->clearCalls();
    b->clearCalls();

    a->setParameter(0, 0.2f);
    b->setParameter(2, 1.0f);
    b->setParameter(0, 0.3f);
    ASSERT_EQ(a->countCalls(audioMasterAutomate), 1);
    ASSERT_EQ(b->countCalls(audioMasterAutomate), 2);
    EXPECT_EQ(a->calls()[0].index, 0);
    EXPECT_FLOAT_EQ(a->calls()[0].opt, 0.2f);
    EXPECT_EQ(b->calls()[0].index, 2);
    EXPECT_EQ(askHost(*a, audioMasterGetSampleRate), 48000);
    EXPECT_EQ(askHost(*b, audioMasterGetSampleRate), 96000);
}

TEST(HostCallbackAnswers, FixedAnswersOfThisHost)
{
    HostOptions options;
    options.hostVersion = 2300;
    options.blockSize = 512;
    auto plugin = loadGain(options);
    EXPECT_EQ(askHost(*plugin, audioMasterVersion), 2300);
    EXPECT_EQ(askHost(*plugin, audioMasterGetBlockSize), 512);
    EXPECT_EQ(askHost(*plugin, audioMasterWantMidi), 1);
    EXPECT_EQ(askHost(*plugin, audioMasterBeginEdit), 1);
    EXPECT_EQ(askHost(*plugin, audioMasterEndEdit), 1);
    EXPECT_EQ(askHost(*plugin, audioMasterUpdateDisplay), 1);
    EXPECT_EQ(askHost(*plugin, audioMasterAutomate), 1);
    EXPECT_EQ(askHost(*plugin, audioMasterCanDo), 0);
    EXPECT_EQ(askHost(*plugin, audioMasterGetTime), 0);
}

TEST(HostCallbackAnswers, IoChangedRereadsTheLatency)
{
    auto plugin = loadGain();
    EXPECT_EQ(plugin->latencyAtLastIoChange(), 0);
    plugin->clearCalls();
    plugin->setParameter(1, 0.25f);
    EXPECT_EQ(plugin->countCalls(audioMasterIOChanged), 1);
    EXPECT_EQ(plugin->initialDelay(), 250);
    EXPECT_EQ(plugin->latencyAtLastIoChange(), 250);
}

TEST(HostCallLogging, RecordsCallsInOrderWithTheirArguments)
{
    auto plugin = loadGain();
    plugin->clearCalls();
    plugin->setParameter(1, 0.5f);
    plugin->resume();
    const auto calls = plugin->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[0].index, 1);
    EXPECT_FLOAT_EQ(calls[0].opt, 0.5f);
    EXPECT_EQ(calls[1].opcode, audioMasterIOChanged);
    EXPECT_EQ(calls[2].opcode, audioMasterWantMidi);
    EXPECT_EQ(calls[2].value, 1);
    for (const auto& call : calls) EXPECT_EQ(call.thread, std::this_thread::get_id());
}

TEST(HostCallLogging, CallFromAPluginThreadIsRecordedWithThatThread)
{
    auto plugin = loadGain();
    plugin->clearCalls();
    ASSERT_EQ(plugin->dispatch(effVendorSpecific, kHookAutomateFromThread, 2, nullptr, 0.75f), 1);
    ASSERT_TRUE(plugin->waitForCall(audioMasterAutomate, 2, kWaitMs));
    const auto calls = plugin->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FLOAT_EQ(calls[0].opt, 0.75f);
    EXPECT_NE(calls[0].thread, std::this_thread::get_id());
}

TEST(HostCallLogging, WaitTimesOutWhenNoMatchingCallCame)
{
    auto plugin = loadGain();
    plugin->setParameter(0, 0.5f);
    EXPECT_TRUE(plugin->waitForCall(audioMasterAutomate, HostCallLog::kAnyIndex, 0));
    EXPECT_FALSE(plugin->waitForCall(audioMasterAutomate, 1, 20));
    plugin->clearCalls();
    EXPECT_FALSE(plugin->waitForCall(audioMasterAutomate, HostCallLog::kAnyIndex, 20));
}

TEST(HostCallLogging, ConcurrentPluginThreadsLoseNoCalls)
{
    auto plugin = loadGain();
    plugin->clearCalls();
    constexpr int kRounds = 50;
    std::thread caller([&] {
        for (int i = 0; i < kRounds; ++i) (void)askHost(*plugin, audioMasterUpdateDisplay);
    });
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_EQ(plugin->dispatch(effVendorSpecific, kHookAutomateFromThread, i, nullptr, 0.0f), 1);
        ASSERT_TRUE(plugin->waitForCall(audioMasterAutomate, i, kWaitMs));
    }
    caller.join();
    EXPECT_EQ(plugin->countCalls(audioMasterAutomate), kRounds);
    EXPECT_EQ(plugin->countCalls(audioMasterUpdateDisplay), kRounds);
}

}  // namespace
