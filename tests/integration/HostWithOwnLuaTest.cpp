// A host executable that exports its own Lua functions, each of which aborts the
// process when reached, loads the plug-in: start-up scripts, MIDI handlers, spectral
// scripts and timers must all run on the plug-in's private Lua.

#include "PluginFixture.h"
#include "UserScriptFolder.h"

#include <lua5.1/lua.hpp>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void hostLuaReached(const char* name)
{
    std::fprintf(stderr, "the host's %s was called instead of the plug-in's Lua\n", name);
    std::abort();
}

}  // namespace

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))

HOST_EXPORT lua_State* luaL_newstate() { hostLuaReached("luaL_newstate"); }
HOST_EXPORT lua_State* lua_newstate(lua_Alloc, void*) { hostLuaReached("lua_newstate"); }
HOST_EXPORT void luaL_openlibs(lua_State*) { hostLuaReached("luaL_openlibs"); }
HOST_EXPORT int luaL_loadbuffer(lua_State*, const char*, size_t, const char*) { hostLuaReached("luaL_loadbuffer"); }
HOST_EXPORT int luaL_loadfile(lua_State*, const char*) { hostLuaReached("luaL_loadfile"); }
HOST_EXPORT int lua_pcall(lua_State*, int, int, int) { hostLuaReached("lua_pcall"); }
HOST_EXPORT void lua_rawgeti(lua_State*, int, int) { hostLuaReached("lua_rawgeti"); }
HOST_EXPORT void lua_pushnumber(lua_State*, lua_Number) { hostLuaReached("lua_pushnumber"); }
HOST_EXPORT lua_Number lua_tonumber(lua_State*, int) { hostLuaReached("lua_tonumber"); }
HOST_EXPORT void lua_close(lua_State*) { hostLuaReached("lua_close"); }
HOST_EXPORT int lua_sethook(lua_State*, lua_Hook, int, int) { hostLuaReached("lua_sethook"); }
HOST_EXPORT int luaopen_base(lua_State*) { hostLuaReached("luaopen_base"); }
HOST_EXPORT void lua_pushcclosure(lua_State*, lua_CFunction, int) { hostLuaReached("lua_pushcclosure"); }
HOST_EXPORT void lua_call(lua_State*, int, int) { hostLuaReached("lua_call"); }
HOST_EXPORT void lua_setfield(lua_State*, int, const char*) { hostLuaReached("lua_setfield"); }

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
