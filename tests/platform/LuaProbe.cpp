// A stand-in for the plug-in: a shared library built like Lumenfold.so
// (hidden symbols, -Bsymbolic) that uses Lua through lumenfold_platform. The
// host test loads it into a process whose executable exports trap versions
// of the Lua functions.

#include <lua5.1/lua.hpp>

// Runs a chunk in a fresh state with the standard libraries and stores its
// first result as a number. Returns the Lua status, or -1 without a state.
extern "C" __attribute__((visibility("default"))) int lumenfoldProbeEvaluate(const char* chunk,
                                                                           double* result) {
    lua_State* L = luaL_newstate();
    if (L == nullptr) return -1;
    luaL_openlibs(L);
    int status = luaL_loadstring(L, chunk);
    if (status == 0) status = lua_pcall(L, 0, 1, 0);
    if (status == 0) *result = lua_tonumber(L, -1);
    lua_close(L);
    return status;
}
