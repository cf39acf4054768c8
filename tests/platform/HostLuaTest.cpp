// A host whose executable exports its own Lua functions, as some hosts do with
// a different Lua version. Each one aborts the process when reached. The test
// loads a plug-in-like library that uses Lua through lumenfold_platform and
// proves that neither the plug-in's calls nor liblua5.1's calls among its own
// functions end up in the host's copies.
//
// This executable does not link lumenfold_platform: the traps below would
// clash with its forwarders, exactly as a host's Lua is separate from ours.

#include <lua5.1/lua.hpp>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

namespace {

[[noreturn]] void hostLuaReached(const char* name) {
    std::fprintf(stderr, "the host's %s was called instead of the plug-in's Lua\n", name);
    std::abort();
}

}  // namespace

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))

// Called by the plug-in directly.
HOST_EXPORT lua_State* luaL_newstate() { hostLuaReached("luaL_newstate"); }
HOST_EXPORT lua_State* lua_newstate(lua_Alloc, void*) { hostLuaReached("lua_newstate"); }
HOST_EXPORT void luaL_openlibs(lua_State*) { hostLuaReached("luaL_openlibs"); }
HOST_EXPORT int luaL_loadstring(lua_State*, const char*) { hostLuaReached("luaL_loadstring"); }
HOST_EXPORT int lua_pcall(lua_State*, int, int, int) { hostLuaReached("lua_pcall"); }
HOST_EXPORT lua_Number lua_tonumber(lua_State*, int) { hostLuaReached("lua_tonumber"); }
HOST_EXPORT void lua_close(lua_State*) { hostLuaReached("lua_close"); }
// Called by liblua5.1 itself, through its own exported names.
HOST_EXPORT int luaopen_base(lua_State*) { hostLuaReached("luaopen_base"); }
HOST_EXPORT void lua_pushcclosure(lua_State*, lua_CFunction, int) { hostLuaReached("lua_pushcclosure"); }
HOST_EXPORT void lua_call(lua_State*, int, int) { hostLuaReached("lua_call"); }
HOST_EXPORT void lua_setfield(lua_State*, int, const char*) { hostLuaReached("lua_setfield"); }
HOST_EXPORT int lua_load(lua_State*, lua_Reader, void*, const char*) { hostLuaReached("lua_load"); }

namespace {

using Evaluate = int (*)(const char*, double*);

TEST(HostLua, TrapsAreVisibleToLibrariesTheHostLoads) {
    // Without this the test below could pass only because nothing is exported.
    EXPECT_EQ(::dlsym(RTLD_DEFAULT, "luaL_newstate"), reinterpret_cast<void*>(&luaL_newstate));
    EXPECT_EQ(::dlsym(RTLD_DEFAULT, "luaopen_base"), reinterpret_cast<void*>(&luaopen_base));
}

TEST(HostLua, PluginRunsScriptsOnItsOwnLuaDespiteTheHostsCopy) {
    void* plugin = ::dlopen(LUMENFOLD_LUA_PROBE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << ::dlerror();
    const auto evaluate = reinterpret_cast<Evaluate>(::dlsym(plugin, "lumenfoldProbeEvaluate"));
    ASSERT_NE(evaluate, nullptr);
    double result = 0.0;
    EXPECT_EQ(evaluate("return 1 + 2 + #string.rep('x', 4)", &result), 0);
    EXPECT_EQ(result, 7.0);
    ::dlclose(plugin);
}

}  // namespace
