// A host whose executable exports its own Lua functions, as some hosts do with
// a different Lua version. Each one aborts the process when reached. The test
// loads a plug-in-like library that uses Lua through lumenfold_platform and
// proves that neither the plug-in's calls nor liblua5.1's calls among its own
// functions end up in the host's copies.
//
// This executable does not link lumenfold_platform: the traps would clash with
// its forwarders, exactly as a host's Lua is separate from ours.

#include <lua5.1/lua.hpp>

#include <gtest/gtest.h>

#include <dlfcn.h>

// The traps are in support/HostLuaTraps.cpp.

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
