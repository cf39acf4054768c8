// The audio thread and scripts on other threads sharing one state: a running script steps
// aside for the audio thread's block and goes on afterwards; a holder that cannot step aside
// costs the audio thread one bounded wait per block, counted.

#include "ScriptedInstance.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double globalNumber(lua_State* L, const char* name)
{
    lua_getglobal(L, name);
    const double value = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return value;
}

}  // namespace

TEST(ScriptStateGate, ARunningTimerStepsAsideForTheAudioBlockAndGoesOnAfterIt)
{
    ScriptedInstance instance;
    instance.addScript("midi.lua", "spins = 0\n"
                                   "requestTimedCallback(0.001, function() while true do spins = spins + 1 end end)\n");
    ASSERT_NE(instance.state(), nullptr);
    auto& helper = instance.helper();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    double before = 0;
    while (Clock::now() < deadline) {
        if (helper.holdForAudio() && (before = globalNumber(helper.stateForCaller(), "spins")) > 0) {
            break;
        }
        helper.endAudioBlock();
    }
    ASSERT_GT(before, 0) << "the timer ran and the audio thread got the state";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(globalNumber(helper.stateForCaller(), "spins"), before) << "the timer's script is parked";
    EXPECT_EQ(lua_gettop(helper.stateForCaller()), 0);
    helper.endAudioBlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    while (!helper.holdForAudio()) {
        helper.endAudioBlock();
    }
    EXPECT_GT(globalNumber(helper.stateForCaller(), "spins"), before) << "the timer went on where it stopped";
    helper.endAudioBlock();
    EXPECT_GE(helper.audioThreadStats().waits.waits, 1u);
}

// Also: the blocks that went without scripts are counted, and said once a second at most.
TEST(ScriptStateGate, AHolderThatCannotStepAsideCostsOneBoundedWaitPerBlock)
{
    ScriptedInstance instance;
    ASSERT_NE(instance.state(), nullptr);
    auto& helper = instance.helper();
    std::promise<void> holding, release;
    std::thread holder([&] {
        std::lock_guard<QN::ScriptStateGate> lock(helper.luaLock());  // as a long library call holds it
        holding.set_value();
        release.get_future().wait();
    });
    holding.get_future().wait();
    for (int block = 0; block < 3; ++block) {
        const auto start = Clock::now();
        EXPECT_FALSE(helper.readyForEvents());
        EXPECT_FALSE(helper.holdForAudio()) << "the rest of the block goes on at once";
        const auto waited = Clock::now() - start;
        EXPECT_GE(waited, std::chrono::nanoseconds(QN::ScriptStateGate::kAudioWaitLimitNs));
        helper.endAudioBlock();
    }
    release.set_value();
    holder.join();
    EXPECT_TRUE(helper.holdForAudio());
    helper.endAudioBlock();
    const auto stats = helper.audioThreadStats();
    EXPECT_EQ(stats.waits.giveUps, 3u);
    EXPECT_EQ(stats.heldBackBlocks, 3u);
    EXPECT_GE(stats.waits.longestWallNs, QN::ScriptStateGate::kAudioWaitLimitNs);
    const std::string console = instance.consoleText();
    EXPECT_NE(console.find("MIDI waited for the next block 1 times"), std::string::npos) << console;
    EXPECT_EQ(console.find("MIDI waited for the next block 2 times"), std::string::npos) << "once a second at most";
}
