#include "engine/osc/ScriptOscRegistration.h"

#include "engine/osc/ScriptPathTable.h"
#include "engine/model/ParameterTable.h"
#include "engine/scripting/LuaMIDIHelper.h"
#include "engine/scripting/LuaScriptFunctions.h"

namespace QN {

// Reads the parameters of argument 2 into a new table of indices left on top of the
// stack; returns their number. Raises the scripting interface's lookup errors.
// Stack: ... -> ... indices
int ScriptOscRegistration::collectParameters(lua_State* L)
{
    if (lua_type(L, 2) != LUA_TTABLE) {
        const int id = script::parameterArgument(L, 2);
        lua_createtable(L, 1, 0);
        lua_pushnumber(L, id);
        lua_rawseti(L, -2, 1);
        return 1;
    }
    const int count = static_cast<int>(lua_objlen(L, 2));
    lua_createtable(L, count, 0);
    for (int k = 1; k <= count; ++k) {
        lua_rawgeti(L, 2, k);                                  // ... indices param
        const int id = script::parameterArgument(L, lua_gettop(L));
        lua_pop(L, 1);                                         // ... indices
        lua_pushnumber(L, id);
        lua_rawseti(L, -2, k);
    }
    return count;
}

// Builds the bindings from the indices table on top of the stack. False when memory ran
// out; *consistent is false when the address already has entries of another length.
bool ScriptOscRegistration::addParameterEntry(lua_State* L, ScriptPathTable& paths, const char* path, int count,
                                              bool normalized, bool* consistent)
{
    try {
        ScriptPathTable::Bindings bindings;
        bindings.reserve(static_cast<std::size_t>(count));
        for (int k = 1; k <= count; ++k) {
            lua_rawgeti(L, -1, k);
            const int id = static_cast<int>(lua_tointeger(L, -1));
            lua_pop(L, 1);
            bindings.push_back(ParameterBinding{id, normalized});
        }
        *consistent = paths.addParameterEntry(path, std::move(bindings));
        return true;
    } catch (...) {
        return false;
    }
}

int ScriptOscRegistration::registerParameterPath(lua_State* L, ScriptPathTable& paths, bool normalized)
{
    const char* path = luaL_checkstring(L, 1);
    const int count = collectParameters(L);
    bool consistent = true;
    const bool stored = addParameterEntry(L, paths, path, count, normalized, &consistent);
    lua_pop(L, 1);
    if (!stored) {
        return luaL_error(L, "not enough memory");
    }
    if (!consistent) {
        LuaMIDIHelper::diagnosticPrint(L, "inconsistent sizes in RegisterOSCPathForParameter\n", "");
    }
    return 0;
}

bool ScriptOscRegistration::addFunction(ScriptPathTable& paths, const char* path, int ref)
{
    try {
        paths.addFunction(path, ref);
        return true;
    } catch (...) {
        return false;
    }
}

int ScriptOscRegistration::registerFunctionPath(lua_State* L, ScriptPathTable& paths)
{
    const char* path = luaL_checkstring(L, 1);
    if (lua_type(L, 2) != LUA_TFUNCTION) {
        return luaL_error(L, "second argument to registerOSCPathForFunction is not a function");
    }
    lua_pushvalue(L, 2);
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    if (!addFunction(paths, path, ref)) {
        luaL_unref(L, LUA_REGISTRYINDEX, ref);
        return luaL_error(L, "not enough memory");
    }
    return 0;
}

}  // namespace QN
