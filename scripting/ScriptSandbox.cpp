#include "scripting/ScriptSandbox.h"

#include "scripting/LuaCall.h"
#include "scripting/LuaPatternFunctions.h"

namespace QN {

namespace {

int refuse(lua_State* L)
{
    return luaL_error(L, "%s is not available to scripts: %s", lua_tostring(L, lua_upvalueindex(1)),
                      lua_tostring(L, lua_upvalueindex(2)));
}

void replaceWithRefusal(lua_State* L, const char* library, const char* name, const char* reason)
{
    lua_getglobal(L, library);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    lua_pushfstring(L, "%s.%s", library, name);
    lua_pushstring(L, reason);
    lua_pushcclosure(L, refuse, 2);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

// The original function is upvalue 1; without a file name it would read standard input.
int needingFileName(lua_State* L)
{
    if (lua_isnoneornil(L, 1)) {
        return luaL_error(L, "%s needs a file name: scripts cannot read the host's standard input",
                          lua_tostring(L, lua_upvalueindex(2)));
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

void requireFileName(lua_State* L, const char* library, const char* name)
{
    if (library == nullptr) {
        lua_pushvalue(L, LUA_GLOBALSINDEX);
    } else {
        lua_getglobal(L, library);
    }
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    lua_getfield(L, -1, name);
    lua_pushstring(L, name);
    lua_pushcclosure(L, needingFileName, 2);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

int restrict(lua_State* L)
{
    constexpr const char* kEndsHost = "it would end the host program";
    constexpr const char* kReadsInput = "it would wait on the host's standard input";
    replaceWithRefusal(L, "os", "exit", kEndsHost);
    replaceWithRefusal(L, "io", "read", kReadsInput);
    replaceWithRefusal(L, "io", "input", kReadsInput);
    replaceWithRefusal(L, "debug", "debug", kReadsInput);
    replaceWithRefusal(L, "debug", "sethook", "the plug-in needs the hook to stop runaway scripts");
    requireFileName(L, nullptr, "dofile");
    requireFileName(L, nullptr, "loadfile");
    requireFileName(L, "io", "lines");
    lua_getglobal(L, "io");
    if (lua_istable(L, -1)) {
        lua_pushnil(L);
        lua_setfield(L, -2, "stdin");
    }
    lua_pop(L, 1);
    installInterruptiblePatterns(L);
    return 0;
}

}  // namespace

bool restrictScriptLibraries(lua_State* L) { return protectedCCall(L, restrict, nullptr, LuaErrorPolicy::Silent); }

}  // namespace QN
