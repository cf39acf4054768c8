#pragma once

// Internal to the platform library: the table of Lua entry points resolved
// from the privately loaded liblua5.1.so.0, and the list of their names.

extern "C" {
#include <lua5.1/lauxlib.h>
#include <lua5.1/lua.h>
#include <lua5.1/lualib.h>
}

// Every function that Debian's lua.h, lauxlib.h and lualib.h declare, so that
// any part of the Lua API the plug-in uses is reachable. (luaL_openlib is the
// name that luaI_openlib expands to.)
#define LUMENFOLD_LUA_FUNCTIONS(X) \
    X(lua_newstate) X(lua_close) X(lua_newthread) X(lua_atpanic) X(lua_gettop) X(lua_settop) \
    X(lua_pushvalue) X(lua_remove) X(lua_insert) X(lua_replace) X(lua_checkstack) X(lua_xmove) \
    X(lua_isnumber) X(lua_isstring) X(lua_iscfunction) X(lua_isuserdata) X(lua_type) X(lua_typename) \
    X(lua_equal) X(lua_rawequal) X(lua_lessthan) X(lua_tonumber) X(lua_tointeger) X(lua_toboolean) \
    X(lua_tolstring) X(lua_objlen) X(lua_tocfunction) X(lua_touserdata) X(lua_tothread) \
    X(lua_topointer) X(lua_pushnil) X(lua_pushnumber) X(lua_pushinteger) X(lua_pushlstring) \
    X(lua_pushstring) X(lua_pushvfstring) X(lua_pushfstring) X(lua_pushcclosure) X(lua_pushboolean) \
    X(lua_pushlightuserdata) X(lua_pushthread) X(lua_gettable) X(lua_getfield) X(lua_rawget) \
    X(lua_rawgeti) X(lua_createtable) X(lua_newuserdata) X(lua_getmetatable) X(lua_getfenv) \
    X(lua_settable) X(lua_setfield) X(lua_rawset) X(lua_rawseti) X(lua_setmetatable) X(lua_setfenv) \
    X(lua_call) X(lua_pcall) X(lua_cpcall) X(lua_load) X(lua_dump) X(lua_yield) X(lua_resume) \
    X(lua_status) X(lua_gc) X(lua_error) X(lua_next) X(lua_concat) X(lua_getallocf) X(lua_setallocf) \
    X(lua_setlevel) X(lua_getstack) X(lua_getinfo) X(lua_getlocal) X(lua_setlocal) X(lua_getupvalue) \
    X(lua_setupvalue) X(lua_sethook) X(lua_gethook) X(lua_gethookmask) X(lua_gethookcount) \
    X(luaL_openlib) X(luaL_register) X(luaL_getmetafield) X(luaL_callmeta) X(luaL_typerror) \
    X(luaL_argerror) X(luaL_checklstring) X(luaL_optlstring) X(luaL_checknumber) X(luaL_optnumber) \
    X(luaL_checkinteger) X(luaL_optinteger) X(luaL_checkstack) X(luaL_checktype) X(luaL_checkany) \
    X(luaL_newmetatable) X(luaL_checkudata) X(luaL_where) X(luaL_error) X(luaL_checkoption) \
    X(luaL_ref) X(luaL_unref) X(luaL_loadfile) X(luaL_loadbuffer) X(luaL_loadstring) \
    X(luaL_newstate) X(luaL_gsub) X(luaL_findtable) X(luaL_buffinit) X(luaL_prepbuffer) \
    X(luaL_addlstring) X(luaL_addstring) X(luaL_addvalue) X(luaL_pushresult) X(luaopen_base) \
    X(luaopen_table) X(luaopen_io) X(luaopen_os) X(luaopen_string) X(luaopen_math) X(luaopen_debug) \
    X(luaopen_package) X(luaL_openlibs)

namespace platform {

// The pointer types come from the Lua headers themselves, so a mismatch
// between a forwarder and the real function cannot compile.
struct LuaApi {
#define LUMENFOLD_LUA_POINTER(name) decltype(&::name) name = nullptr;
    LUMENFOLD_LUA_FUNCTIONS(LUMENFOLD_LUA_POINTER)
#undef LUMENFOLD_LUA_POINTER
};

// Filled once by loadLuaLibrary (under std::call_once) and read-only after.
extern LuaApi luaApi;

}  // namespace platform
