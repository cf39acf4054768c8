// A host executable that exports its own Lua functions, each of which aborts the
// process when reached, loads the plug-in: start-up scripts, MIDI handlers, spectral
// scripts and timers must all run on the plug-in's private Lua.

#include "PluginFixture.h"
#include "UserScriptFolder.h"

// The traps are in support/HostLuaTraps.cpp.

TEST(HostWithOwnLua, PluginScriptsNeverReachTheHostsLua)
{
    UserScriptFolder scripts;
    scripts.add("user.lua", R"(
        requestNoteOn(60, function()
            setParameter("Scripted 4", 1)
            requestTimedCallback(0.001, function() setParameter("Scripted 3", 0.5) end)
        end))");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->parameterDisplay(13), "Off");

    plugin->setParameter(13, 1.0f / 6.0f);  // "Shift"
    plugin->setParameter(15, 0.55f);        // shift by 10 bins
    plugin->sendMidi({{3, {0xB0, 2, 127}}, {7, {0x90, 60, 100}}});
    std::vector<float> in(4096, 0.25f), left(4096), right(4096);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {left.data(), right.data()};
    plugin->processReplacing(inputs, outputs, 4096);
    EXPECT_EQ(plugin->getParameter(1), 1.0f) << "the built-in controller map ran";
    EXPECT_EQ(plugin->getParameter(18), 1.0f) << "the note handler ran";
    EXPECT_TRUE(plugin->waitForCall(audioMasterAutomate, 17, 5000)) << "the timer ran";
}
