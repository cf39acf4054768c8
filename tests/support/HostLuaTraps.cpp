// Lua functions exported by a test host executable, as some hosts export their own Lua (often
// another version). Each aborts the process when reached: a test passes only if neither the
// plug-in's calls nor its Lua library's calls among its own functions end up here. Link this
// file into an executable built with ENABLE_EXPORTS, and not with lumenfold_platform, whose
// forwarders carry the same names.

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

// Called by the plug-in directly.
HOST_EXPORT lua_State* luaL_newstate() { hostLuaReached("luaL_newstate"); }
HOST_EXPORT lua_State* lua_newstate(lua_Alloc, void*) { hostLuaReached("lua_newstate"); }
HOST_EXPORT void luaL_openlibs(lua_State*) { hostLuaReached("luaL_openlibs"); }
HOST_EXPORT int luaL_loadstring(lua_State*, const char*) { hostLuaReached("luaL_loadstring"); }
HOST_EXPORT int luaL_loadbuffer(lua_State*, const char*, size_t, const char*) { hostLuaReached("luaL_loadbuffer"); }
HOST_EXPORT int luaL_loadfile(lua_State*, const char*) { hostLuaReached("luaL_loadfile"); }
HOST_EXPORT int lua_pcall(lua_State*, int, int, int) { hostLuaReached("lua_pcall"); }
HOST_EXPORT void lua_rawgeti(lua_State*, int, int) { hostLuaReached("lua_rawgeti"); }
HOST_EXPORT void lua_pushnumber(lua_State*, lua_Number) { hostLuaReached("lua_pushnumber"); }
HOST_EXPORT lua_Number lua_tonumber(lua_State*, int) { hostLuaReached("lua_tonumber"); }
HOST_EXPORT void lua_close(lua_State*) { hostLuaReached("lua_close"); }
HOST_EXPORT int lua_sethook(lua_State*, lua_Hook, int, int) { hostLuaReached("lua_sethook"); }
// Called by the Lua library itself, through its own exported names.
HOST_EXPORT int luaopen_base(lua_State*) { hostLuaReached("luaopen_base"); }
HOST_EXPORT void lua_pushcclosure(lua_State*, lua_CFunction, int) { hostLuaReached("lua_pushcclosure"); }
HOST_EXPORT void lua_call(lua_State*, int, int) { hostLuaReached("lua_call"); }
HOST_EXPORT void lua_setfield(lua_State*, int, const char*) { hostLuaReached("lua_setfield"); }
HOST_EXPORT int lua_load(lua_State*, lua_Reader, void*, const char*) { hostLuaReached("lua_load"); }
