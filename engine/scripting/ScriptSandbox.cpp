#include "engine/scripting/ScriptSandbox.h"

#include "engine/scripting/LuaCall.h"
#include "engine/scripting/LuaMemoryPool.h"
#include "engine/scripting/LuaPatternFunctions.h"
#include "engine/scripting/LuaStringRepeat.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace QN {

namespace {

int refuse(lua_State* L)
{
    return luaL_error(L, "%s is not available to scripts: %s", lua_tostring(L, lua_upvalueindex(1)),
                      lua_tostring(L, lua_upvalueindex(2)));
}

// library null: a global function.
// Pushes a library's table (library null: the globals); false, with nothing pushed, when
// the state has no such library.
bool pushLibrary(lua_State* L, const char* library)
{
    if (library == nullptr) {
        lua_pushvalue(L, LUA_GLOBALSINDEX);
    } else {
        lua_getglobal(L, library);
    }
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    return true;
}

void replaceWithRefusal(lua_State* L, const char* library, const char* name, const char* reason)
{
    if (!pushLibrary(L, library)) {
        return;
    }
    if (library == nullptr) {
        lua_pushstring(L, name);
    } else {
        lua_pushfstring(L, "%s.%s", library, name);
    }
    lua_pushstring(L, reason);
    lua_pushcclosure(L, refuse, 2);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

// Calls the wrapped original function, upvalue 1, with the wrapper's arguments, and
// returns all its results.
int callOriginal(lua_State* L)
{
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

// Puts wrapper in the global's place, with the original as its upvalue 1.
void wrapGlobal(lua_State* L, const char* name, lua_CFunction wrapper)
{
    lua_getglobal(L, name);
    if (lua_isfunction(L, -1)) {
        lua_pushcclosure(L, wrapper, 1);
        lua_setglobal(L, name);
    } else {
        lua_pop(L, 1);
    }
}

// The original function is upvalue 1; without a file name it would read standard input.
int needingFileName(lua_State* L)
{
    if (lua_isnoneornil(L, 1)) {
        return luaL_error(L, "%s needs a file name: scripts cannot read the host's standard input",
                          lua_tostring(L, lua_upvalueindex(2)));
    }
    return callOriginal(L);
}

void requireFileName(lua_State* L, const char* library, const char* name)
{
    if (!pushLibrary(L, library)) {
        return;
    }
    lua_getfield(L, -1, name);
    lua_pushstring(L, name);
    lua_pushcclosure(L, needingFileName, 2);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

// Finalizers run with hooks off, where no time limit or stop reaches a loop, and they run
// when a state closes: a script gets no way to give anything one. No newproxy, a locked
// metatable on the io library's files (the plug-in's own are locked where they are made),
// and no debug functions that reach metatables, the registry or functions' insides.
void closeDoorsToFinalizers(lua_State* L)
{
    lua_pushnil(L);
    lua_setglobal(L, "newproxy");
    luaL_getmetatable(L, "FILE*");
    if (lua_istable(L, -1)) {
        lua_pushliteral(L, "locked");
        lua_setfield(L, -2, "__metatable");
    }
    lua_pop(L, 1);
    lua_getglobal(L, "debug");
    if (lua_istable(L, -1)) {
        for (const char* name : {"getregistry", "getmetatable", "setmetatable", "getupvalue", "setupvalue", "getlocal",
                                 "setlocal", "getfenv", "setfenv"}) {
            lua_pushnil(L);
            lua_setfield(L, -2, name);
        }
    }
    lua_pop(L, 1);
}

// A full collection could hold the audio thread for milliseconds: there "collect" and
// "step" make one small step of the collector instead. Upvalue 1 is the original.
int collectWithinBounds(lua_State* L)
{
    const LuaMemoryPool* pool = LuaMemoryPool::of(L);
    const bool audio = pool != nullptr && pool->realtime();
    const char* option = luaL_optstring(L, 1, "collect");
    const bool collect = std::strcmp(option, "collect") == 0;
    if (audio && (collect || std::strcmp(option, "step") == 0)) {
        lua_settop(L, 0);
        lua_pushvalue(L, lua_upvalueindex(1));
        lua_pushliteral(L, "step");
        lua_pushinteger(L, 0);
        lua_call(L, 2, 1);
        if (collect) {
            lua_pushinteger(L, 0);
        }
        return 1;
    }
    return callOriginal(L);
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
    installInterruptibleRepeat(L);
    closeDoorsToFinalizers(L);
    wrapGlobal(L, "collectgarbage", collectWithinBounds);
    return 0;
}

// loadstring for source text only; upvalue 1 is the original.
int loadSourceText(lua_State* L)
{
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    if (length > 0 && text[0] == LUA_SIGNATURE[0]) {
        lua_pushnil(L);
        lua_pushliteral(L, "precompiled chunks are not available to a layout: give source text");
        return 2;
    }
    return callOriginal(L);
}

int restrictLayout(lua_State* L)
{
    constexpr const char* kBlocks = "it could hold the editor without end";
    constexpr const char* kLoads = "a layout is one source file; precompiled or native code could crash the host";
    replaceWithRefusal(L, "os", "execute", kBlocks);
    for (const char* name : {"open", "lines", "popen", "output"}) replaceWithRefusal(L, "io", name, kBlocks);
    for (const char* name : {"load", "loadfile", "dofile", "require"}) replaceWithRefusal(L, nullptr, name, kLoads);
    replaceWithRefusal(L, "package", "loadlib", kLoads);
    lua_getglobal(L, "package");
    if (lua_istable(L, -1)) {
        lua_newtable(L);
        lua_setfield(L, -2, "loaders");
    }
    lua_pop(L, 1);
    wrapGlobal(L, "loadstring", loadSourceText);
    return 0;
}

}  // namespace

bool restrictScriptLibraries(lua_State* L) { return protectedCCall(L, restrict, nullptr, LuaErrorPolicy::Silent); }

bool restrictLayoutLibraries(lua_State* L)
{
    return restrictScriptLibraries(L) && protectedCCall(L, restrictLayout, nullptr, LuaErrorPolicy::Silent);
}

}  // namespace QN
