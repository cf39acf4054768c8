// MIDI scripts and spectral scripts as a host sees them: events in, parameters and
// automation out.

#include "PluginFixture.h"
#include "UserScriptFolder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

void sendController(lfhost::PluginInstance& plugin, int controller, int value, int delta = 0)
{
    plugin.sendMidi({{delta, {0xB0, static_cast<unsigned char>(controller), static_cast<unsigned char>(value)}}});
}

// Runs one block so that queued events are dispatched.
void runBlock(lfhost::PluginInstance& plugin, int frames = 64)
{
    std::vector<float> in(static_cast<std::size_t>(frames)), outL(in.size()), outR(in.size());
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    plugin.processReplacing(inputs, outputs, frames);
}

bool automatedWith(const lfhost::PluginInstance& plugin, int index, float value)
{
    for (const auto& call : plugin.calls()) {
        if (call.opcode == audioMasterAutomate && call.index == index && std::fabs(call.opt - value) < 1e-6f) {
            return true;
        }
    }
    return false;
}

}  // namespace

TEST_F(PluginTest, ControllersMoveTheMappedParametersAndTheHostSeesIt)
{
    plugin->clearCalls();
    sendController(*plugin, 2, 127);
    sendController(*plugin, 15, 64);
    sendController(*plugin, 4, 9, 10);
    runBlock(*plugin);
    EXPECT_EQ(plugin->getParameter(1), 1.0f);
    EXPECT_EQ(plugin->parameterDisplay(11), "-22.00");
    EXPECT_EQ(plugin->parameterDisplay(3), "32");
    EXPECT_EQ(plugin->initialDelay(), 32);
    EXPECT_TRUE(automatedWith(*plugin, 1, 1.0f));
    EXPECT_TRUE(automatedWith(*plugin, 11, 0.5f));
    EXPECT_TRUE(automatedWith(*plugin, 3, 0.0f));
}

TEST_F(PluginTest, ReservedControllersChangeNothing)
{
    const auto before = plugin->getChunk();
    plugin->clearCalls();
    for (int controller : {1, 7, 10, 64}) {
        sendController(*plugin, controller, 100);
    }
    runBlock(*plugin);
    EXPECT_EQ(plugin->getChunk(), before);
    EXPECT_EQ(plugin->countCalls(audioMasterAutomate), 0);
}

TEST(Scripting, NrpnSequenceGivesTwoCalls)
{
    UserScriptFolder scripts;
    scripts.add("nrpn.lua", R"(
        calls = 0
        requestAllNRPN(function(channel, number, value)
            calls = calls + 1
            setParameter(24 + 2 * (calls - 1), number / 1000)
            setParameter(25 + 2 * (calls - 1), value / 1000)
        end))");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    plugin->sendMidi({{0, {0xB0, 99, 1}}, {0, {0xB0, 98, 2}}, {1, {0xB0, 6, 3}}, {2, {0xB0, 38, 4}}});
    runBlock(*plugin);
    EXPECT_FLOAT_EQ(plugin->getParameter(24), 0.130f);
    EXPECT_FLOAT_EQ(plugin->getParameter(25), 0.384f);
    EXPECT_FLOAT_EQ(plugin->getParameter(26), 0.130f);
    EXPECT_FLOAT_EQ(plugin->getParameter(27), 0.388f);
    EXPECT_EQ(plugin->getParameter(28), 0.0f) << "no third call";
}

// A dense block: 1024 controllers in one host block all reach the handler, in order, with no
// overflow line.
TEST(Scripting, ThousandControllersInOneBlockAllReachTheHandlerInOrder)
{
    UserScriptFolder scripts;
    scripts.add("dense.lua", R"(
        count, inOrder = 0, true
        requestAllCC(function(channel, controller, value)
            if controller * 128 + value ~= count then inOrder = false end
            count = count + 1
        end)
        requestNoteOn(60, function()
            setParameter(21, count / 4096)
            setParameter(20, inOrder and 1 or 0)
        end))");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    constexpr int kEvents = 1024;
    constexpr int kFrames = 512;
    std::vector<lfhost::MidiMessage> burst;
    for (int i = 0; i < kEvents; ++i) {
        burst.push_back({i * kFrames / kEvents, {0xB0, static_cast<unsigned char>(i >> 7), static_cast<unsigned char>(i & 0x7F)}});
    }
    testing::internal::CaptureStderr();
    plugin->sendMidi(burst);
    runBlock(*plugin, kFrames);
    plugin->sendMidi({{0, {0x90, 60, 100}}});
    runBlock(*plugin);
    EXPECT_EQ(plugin->getParameter(21) * 4096.0f, static_cast<float>(kEvents));
    EXPECT_EQ(plugin->getParameter(20), 1.0f) << "in the order sent";
    plugin.reset();  // closing writes out what the console still holds
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(diagnostics.find("overflow"), std::string::npos) << diagnostics;
}

TEST(Scripting, UserSpectralScriptJoinsTheListAndInvertsTheWetSignal)
{
    UserScriptFolder scripts;
    scripts.add("invert.lua", R"(
        addSpectralScript("Invert", function(t)
            for k = 1, t.maxBin - 1 do
                local re, im = getBin(k)
                setBin(k, -re, -im)
            end
        end))");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    plugin->setParameter(13, 1.0f);
    EXPECT_EQ(plugin->parameterDisplay(13), "Invert") << "after the six built-in scripts";
    plugin->setParameter(13, 6.0f / 7.0f);
    EXPECT_EQ(plugin->parameterDisplay(13), "Gate");
    plugin->setParameter(13, 1.0f);

    // A sine has nothing at DC or Nyquist, so the output is the input turned over.
    const std::size_t length = 8192;
    std::vector<std::vector<float>> input(2, std::vector<float>(length));
    for (std::size_t i = 0; i < length; ++i) {
        input[0][i] = input[1][i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
    }
    std::vector<std::vector<float>> output(2, std::vector<float>(length));
    for (std::size_t start = 0; start < length; start += 256) {
        float* in[2] = {input[0].data() + start, input[1].data() + start};
        float* out[2] = {output[0].data() + start, output[1].data() + start};
        plugin->processReplacing(in, out, 256);
    }
    for (std::size_t i = 3000; i < length; i += 17) {
        ASSERT_NEAR(output[0][i], -input[0][i - 1024], 0.01f) << i;
    }
}

// A spectral script that writes NaNs into every frame, or a host that sends a NaN and an
// infinity: the output stays finite throughout, one line says so, and without a script the
// sound comes back.
TEST(Scripting, NonFiniteSamplesNeverLeaveThePluginAndCostOneLine)
{
    UserScriptFolder scripts;
    scripts.add("poison.lua", R"(
        addSpectralScript("Poison", function(t) setBin(5, 0/0, 0) multiplyBin(6, 1e300) end))");
    for (const bool fromScript : {true, false}) {
        auto plugin = loadPlugin();
        ASSERT_TRUE(plugin);
        plugin->setParameter(1, 1.0f);  // the dry path too
        plugin->setParameter(13, fromScript ? 1.0f : 0.0f);
        ASSERT_EQ(plugin->parameterDisplay(13), fromScript ? "Poison" : "Off");
        const std::size_t length = 16384;
        std::vector<std::vector<float>> input(2, std::vector<float>(length));
        for (std::size_t i = 0; i < length; ++i) {
            input[0][i] = input[1][i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
        }
        if (!fromScript) {
            input[0][3000] = std::nanf("");
            input[1][5000] = std::numeric_limits<float>::infinity();
        }
        std::vector<std::vector<float>> output(2, std::vector<float>(length));
        testing::internal::CaptureStderr();
        for (std::size_t start = 0; start < length; start += 256) {
            float* in[2] = {input[0].data() + start, input[1].data() + start};
            float* out[2] = {output[0].data() + start, output[1].data() + start};
            plugin->processReplacing(in, out, 256);
        }
        plugin.reset();  // closing writes out what the console still holds
        const std::string lines = testing::internal::GetCapturedStderr();
        float lastPeak = 0.0f;
        for (int c = 0; c < 2; ++c) {
            for (std::size_t i = 0; i < length; ++i) {
                ASSERT_TRUE(std::isfinite(output[c][i])) << fromScript << " " << c << " " << i;
                lastPeak = i >= length - 2048 ? std::max(lastPeak, std::fabs(output[c][i])) : lastPeak;
            }
        }
        EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1) << lines;
        EXPECT_NE(lines.find("non-finite"), std::string::npos) << lines;
        EXPECT_EQ(lastPeak > 0.5f, !fromScript) << lastPeak;
    }
}

TEST(Scripting, UserMidiScriptReplacesTheBuiltInOne)
{
    UserScriptFolder scripts;
    scripts.add("midi.lua", "requestAllCC(function() setParameter('Wet Level', 0.25) end)");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->parameterDisplay(13), "(none)") << "no built-in spectral scripts";
    sendController(*plugin, 2, 127);
    runBlock(*plugin);
    EXPECT_EQ(plugin->getParameter(1), 0.0f) << "no built-in controller map";
    EXPECT_EQ(plugin->getParameter(2), 0.25f);
}

TEST(Scripting, FailingScriptsAreReportedAndTheRestRuns)
{
    UserScriptFolder scripts;
    scripts.add("a-broken.lua", "this is not lua");
    scripts.add("b-fine.lua", "setParameter('Scripted 2', 0.75)");
    testing::internal::CaptureStderr();
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->parameterDisplay(13), "Off") << "the built-in scripts still registered";
    plugin.reset();  // closing writes out what the scripts' console still holds
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("@@@ failed to run file: "), std::string::npos);
}

TEST(Scripting, TimersFireAndStopWhenCancelled)
{
    UserScriptFolder scripts;
    scripts.add("timers.lua", R"(
        ticks = 0
        local periodic
        -- Started by a note: a timer started while the instance is being built could call
        -- the host before the host knows the instance.
        requestNoteOn(60, function() periodic = requestPeriodicCallback(0.005, function()
            ticks = ticks + 1
            setParameter(21, ticks / 100)
            if ticks == 3 then
                cancelTimer(periodic)
                cancelTimer(periodic)
                requestTimedCallback(0.05, function() setParameter(20, ticks / 100) end)
            end
        end) end))");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    plugin->sendMidi({{0, {0x90, 60, 100}}});
    runBlock(*plugin);
    ASSERT_TRUE(plugin->waitForCall(audioMasterAutomate, 20, 5000)) << "the one-shot fired";
    EXPECT_FLOAT_EQ(plugin->getParameter(20), 0.03f) << "no tick after the cancel";
    EXPECT_FLOAT_EQ(plugin->getParameter(21), 0.03f);
}

TEST(Scripting, ClosingAnInstanceStopsARunawayTimer)
{
    UserScriptFolder scripts;
    scripts.add("runaway.lua", R"(
        requestNoteOn(60, function()
            requestTimedCallback(0.001, function()
                setParameter(19, 1)
                while true do end
            end)
        end))");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    plugin->sendMidi({{0, {0x90, 60, 100}}});
    runBlock(*plugin);
    ASSERT_TRUE(plugin->waitForCall(audioMasterAutomate, 19, 5000)) << "the loop is running";
    const auto start = std::chrono::steady_clock::now();
    plugin.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(Scripting, ScriptsReachOtherInstancesByTheirPortOffset)
{
    UserScriptFolder scripts;
    scripts.add("others.lua", R"(
        requestNoteOn(36, function() setOthersParameter(3, "Wet Level", 0.25) end)
        requestNoteOn(37, function() setParameter("Scripted 2", getOthersParameter(3, "Wet Level")) end))");
    auto first = loadPlugin();
    auto second = loadPlugin();
    ASSERT_TRUE(first && second);
    second->setParameter(0, 0.03f);  // "OSC Port Offset" 3
    runBlock(*second);
    first->sendMidi({{0, {0x90, 36, 100}}, {1, {0x90, 37, 100}}});
    runBlock(*first);
    EXPECT_EQ(second->getParameter(2), 0.25f);
    EXPECT_EQ(first->getParameter(2), 1.0f) << "only the instance on offset 3";
    EXPECT_EQ(first->getParameter(16), 0.25f);
    second.reset();
    first->sendMidi({{0, {0x90, 37, 100}}});
    runBlock(*first);
    EXPECT_EQ(first->getParameter(16), 0.0f) << "a closed instance leaves the list";
}

// Every way a script sets a value goes through the same rule: clamped into the range, a
// value that is not finite refused with a Lua error, the host only ever hearing 0..1.
TEST(Scripting, ScriptValuesAreClampedAndNonFiniteOnesRaiseAnError)
{
    UserScriptFolder scripts;
    scripts.add("doors.lua", R"(
        requestAllCC(function(channel, controller, value)
            if controller == 20 then
                setParameter("Output Gain", 200)
                setParameter("Input Gain", -1e6)
                setOthersParameter(0, "Bin 8 Level", 1e12)
                setOthersParameter(0, "Bin 9 Level", -1e300)
                setParameter("Script Index", 99)
            elseif controller == 21 then
                local okNan, nanError = pcall(setParameter, "Output Gain", 0/0)
                local okInf = pcall(setOthersParameter, 0, "Output Gain", 1/0)
                local refused = not okNan and not okInf and string.find(nanError, "not a finite number") ~= nil
                setParameter("Scripted 2", refused and 1 or 0)
            end
        end))");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    sendController(*plugin, 20, 1);
    runBlock(*plugin);
    const struct {
        int id;
        float normalized;
        const char* shown;
    } cases[] = {{12, 1.0f, "36.00"}, {11, 0.0f, "-inf"}, {40, 1.0f, "1.000"}, {41, 0.0f, "0.000"}, {13, 1.0f, "Gate"}};
    for (const auto& c : cases) {
        EXPECT_EQ(plugin->getParameter(c.id), c.normalized) << c.id;
        EXPECT_EQ(plugin->parameterDisplay(c.id), c.shown) << c.id;
    }
    for (const auto& call : plugin->calls()) {
        if (call.opcode == audioMasterAutomate) {
            EXPECT_TRUE(call.opt >= 0.0f && call.opt <= 1.0f) << call.index << " " << call.opt;
        }
    }
    sendController(*plugin, 21, 1);
    runBlock(*plugin);
    EXPECT_EQ(plugin->getParameter(16), 1.0f) << "both non-finite values raised the error";
    EXPECT_EQ(plugin->getParameter(12), 1.0f) << "and changed nothing";
}

TEST(Scripting, ScriptIndexKeepsItsMeaningWhateverInstancesBuiltLaterLoad)
{
    UserScriptFolder scripts;
    scripts.add("mine.lua", R"(addSpectralScript("Mine", function(t) end))");
    auto first = loadPlugin();
    ASSERT_TRUE(first);
    first->setParameter(13, 1.0f);
    ASSERT_EQ(first->parameterDisplay(13), "Mine");
    const float stored = first->getParameter(13);

    scripts.add("more.lua", R"(addSpectralScript("Extra A", function(t) end) addSpectralScript("Extra B", function(t) end))");
    auto second = loadPlugin();
    ASSERT_TRUE(second);
    second->setParameter(13, 1.0f);
    EXPECT_EQ(second->parameterDisplay(13), "Extra B");
    first->setParameter(13, stored);
    EXPECT_EQ(first->parameterDisplay(13), "Mine") << "the host writing its stored value back";
    EXPECT_EQ(first->getParameter(13), stored);

    auto reopened = loadPlugin();  // the same folder as the second
    ASSERT_TRUE(reopened);
    reopened->setParameter(13, second->getParameter(13));
    EXPECT_EQ(reopened->parameterDisplay(13), "Extra B");
}
