#include "editor/toolkit/LuaGuiSupport.h"

#include "editor/toolkit/LuaGui.h"
#include "editor/toolkit/PluginConnection.h"

#include <cmath>

namespace QN::luagui {

LuaGui& builderOf(lua_State* L)
{
    lua_getfield(L, LUA_REGISTRYINDEX, kViewRefcon);
    auto* builder = static_cast<LuaGui*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return *builder;  // stored when the state was made, before any script ran
}

Manager& managerOf(lua_State* L)
{
    Manager* manager = builderOf(L).manager();
    if (!manager) luaL_error(L, "the editor is not open");
    return *manager;
}

Manager& buildingManagerOf(lua_State* L)
{
    Manager& manager = managerOf(L);
    if (!builderOf(L).isBuilding()) luaL_error(L, "elements can only be made while the layout is built");
    return manager;
}

int lastArguments(lua_State* L, int count)
{
    const int first = lua_gettop(L) - count + 1;
    return first < 1 ? 1 : first;
}

float numberAt(lua_State* L, int index) { return static_cast<float>(luaL_checknumber(L, index)); }

int parameterAt(lua_State* L, int index, bool numbers)
{
    if (numbers && lua_type(L, index) == LUA_TNUMBER) {
        const double value = std::floor(lua_tonumber(L, index) + 0.5);
        if (!(value >= 0 && value < builderOf(L).plugin().parameterCount())) {
            luaL_error(L, "parameter index out of range: %f", lua_tonumber(L, index));
        }
        return static_cast<int>(value);
    }
    const char* name = luaL_checkstring(L, index);
    if (numbers && lua_isnumber(L, index)) {
        lua_pushnumber(L, lua_tonumber(L, index));
        lua_replace(L, index);
        return parameterAt(L, index, true);
    }
    const int found = builderOf(L).parameterIndex(name);
    if (found < 0) luaL_error(L, "parameter not found: '%s'", name);
    return found;
}

void pushObject(lua_State* L, void* pointer, const char* metatable)
{
    void** block = static_cast<void**>(lua_newuserdata(L, sizeof(void*)));
    *block = pointer;
    luaL_getmetatable(L, metatable);
    lua_setmetatable(L, -2);
}

void* objectAt(lua_State* L, int index, const char* metatable)
{
    return *static_cast<void**>(luaL_checkudata(L, index, metatable));
}

UIElement* elementArgument(lua_State* L, int index)
{
    if (!lua_isuserdata(L, index)) luaL_argerror(L, index, "element expected");
    UIElement* element = builderOf(L).elementAt(L, index);
    if (!element) luaL_typerror(L, index, "element");
    return element;
}

void createMetatable(lua_State* L, const char* name, const luaL_Reg* methods)
{
    luaL_newmetatable(L, name);
    lua_pushvalue(L, -1);
    lua_setfield(L, -2, "__index");
    lua_pushliteral(L, "locked");
    lua_setfield(L, -2, "__metatable");
    if (methods) luaL_register(L, nullptr, methods);
    lua_pop(L, 1);
}

int raiseOutOfMemory(lua_State* L) { return luaL_error(L, "the editor has no memory left for this"); }

void registerGlobals(lua_State* L, const luaL_Reg* functions, int count)
{
    for (int i = 0; i < count; ++i) {
        lua_pushcfunction(L, functions[i].func);
        lua_setglobal(L, functions[i].name);
    }
}

}  // namespace QN::luagui
