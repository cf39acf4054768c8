// Forwarding functions with the names of the Lua C API. They are hidden, so
// the plug-in's own calls bind to them at link time and never to a Lua that
// the host exports under the same names; each one calls the function resolved
// from our private copy of liblua5.1.so.0 (see platform/LuaLibrary.h).
//
// Called on: whichever thread uses the Lua state. Apart from the two state
// constructors they all take a state, which only exists after the library has
// been loaded, so the table is complete whenever they run.

#include "platform/LuaLibrary.h"
#include "platform/linux/LuaApi.h"

#include <cstdarg>

using platform::luaApi;

#pragma GCC visibility push(hidden)

extern "C" {

lua_State* lua_newstate(lua_Alloc f, void* ud) {
    if (!platform::loadLuaLibrary(nullptr)) return nullptr;
    return luaApi.lua_newstate(f, ud);
}

lua_State* luaL_newstate() {
    if (!platform::loadLuaLibrary(nullptr)) return nullptr;
    return luaApi.luaL_newstate();
}

// Variadic functions cannot pass "..." on; they go through the va_list form.
const char* lua_pushfstring(lua_State* L, const char* fmt, ...) {
    va_list arguments;
    va_start(arguments, fmt);
    const char* text = luaApi.lua_pushvfstring(L, fmt, arguments);
    va_end(arguments);
    return text;
}

// As the auxiliary library does it: message with the position of the caller
// in front, then raise it (lua_error does not return).
int luaL_error(lua_State* L, const char* fmt, ...) {
    va_list arguments;
    va_start(arguments, fmt);
    luaApi.luaL_where(L, 1);
    luaApi.lua_pushvfstring(L, fmt, arguments);
    va_end(arguments);
    luaApi.lua_concat(L, 2);
    return luaApi.lua_error(L);
}

void lua_close(lua_State* L) { luaApi.lua_close(L); }
lua_State* lua_newthread(lua_State* L) { return luaApi.lua_newthread(L); }
lua_CFunction lua_atpanic(lua_State* L, lua_CFunction panicf) {
    return luaApi.lua_atpanic(L, panicf);
}
int lua_gettop(lua_State* L) { return luaApi.lua_gettop(L); }
void lua_settop(lua_State* L, int idx) { luaApi.lua_settop(L, idx); }
void lua_pushvalue(lua_State* L, int idx) { luaApi.lua_pushvalue(L, idx); }
void lua_remove(lua_State* L, int idx) { luaApi.lua_remove(L, idx); }
void lua_insert(lua_State* L, int idx) { luaApi.lua_insert(L, idx); }
void lua_replace(lua_State* L, int idx) { luaApi.lua_replace(L, idx); }
int lua_checkstack(lua_State* L, int sz) { return luaApi.lua_checkstack(L, sz); }
void lua_xmove(lua_State* from, lua_State* to, int n) { luaApi.lua_xmove(from, to, n); }
int lua_isnumber(lua_State* L, int idx) { return luaApi.lua_isnumber(L, idx); }
int lua_isstring(lua_State* L, int idx) { return luaApi.lua_isstring(L, idx); }
int lua_iscfunction(lua_State* L, int idx) { return luaApi.lua_iscfunction(L, idx); }
int lua_isuserdata(lua_State* L, int idx) { return luaApi.lua_isuserdata(L, idx); }
int lua_type(lua_State* L, int idx) { return luaApi.lua_type(L, idx); }
const char* lua_typename(lua_State* L, int tp) { return luaApi.lua_typename(L, tp); }
int lua_equal(lua_State* L, int idx1, int idx2) { return luaApi.lua_equal(L, idx1, idx2); }
int lua_rawequal(lua_State* L, int idx1, int idx2) { return luaApi.lua_rawequal(L, idx1, idx2); }
int lua_lessthan(lua_State* L, int idx1, int idx2) { return luaApi.lua_lessthan(L, idx1, idx2); }
lua_Number lua_tonumber(lua_State* L, int idx) { return luaApi.lua_tonumber(L, idx); }
lua_Integer lua_tointeger(lua_State* L, int idx) { return luaApi.lua_tointeger(L, idx); }
int lua_toboolean(lua_State* L, int idx) { return luaApi.lua_toboolean(L, idx); }
const char* lua_tolstring(lua_State* L, int idx, size_t* len) {
    return luaApi.lua_tolstring(L, idx, len);
}
size_t lua_objlen(lua_State* L, int idx) { return luaApi.lua_objlen(L, idx); }
lua_CFunction lua_tocfunction(lua_State* L, int idx) { return luaApi.lua_tocfunction(L, idx); }
void* lua_touserdata(lua_State* L, int idx) { return luaApi.lua_touserdata(L, idx); }
lua_State* lua_tothread(lua_State* L, int idx) { return luaApi.lua_tothread(L, idx); }
const void* lua_topointer(lua_State* L, int idx) { return luaApi.lua_topointer(L, idx); }
void lua_pushnil(lua_State* L) { luaApi.lua_pushnil(L); }
void lua_pushnumber(lua_State* L, lua_Number n) { luaApi.lua_pushnumber(L, n); }
void lua_pushinteger(lua_State* L, lua_Integer n) { luaApi.lua_pushinteger(L, n); }
void lua_pushlstring(lua_State* L, const char* s, size_t l) { luaApi.lua_pushlstring(L, s, l); }
void lua_pushstring(lua_State* L, const char* s) { luaApi.lua_pushstring(L, s); }
const char* lua_pushvfstring(lua_State* L, const char* fmt, va_list argp) {
    return luaApi.lua_pushvfstring(L, fmt, argp);
}
void lua_pushcclosure(lua_State* L, lua_CFunction fn, int n) { luaApi.lua_pushcclosure(L, fn, n); }
void lua_pushboolean(lua_State* L, int b) { luaApi.lua_pushboolean(L, b); }
void lua_pushlightuserdata(lua_State* L, void* p) { luaApi.lua_pushlightuserdata(L, p); }
int lua_pushthread(lua_State* L) { return luaApi.lua_pushthread(L); }
void lua_gettable(lua_State* L, int idx) { luaApi.lua_gettable(L, idx); }
void lua_getfield(lua_State* L, int idx, const char* k) { luaApi.lua_getfield(L, idx, k); }
void lua_rawget(lua_State* L, int idx) { luaApi.lua_rawget(L, idx); }
void lua_rawgeti(lua_State* L, int idx, int n) { luaApi.lua_rawgeti(L, idx, n); }
void lua_createtable(lua_State* L, int narr, int nrec) { luaApi.lua_createtable(L, narr, nrec); }
void* lua_newuserdata(lua_State* L, size_t sz) { return luaApi.lua_newuserdata(L, sz); }
int lua_getmetatable(lua_State* L, int objindex) { return luaApi.lua_getmetatable(L, objindex); }
void lua_getfenv(lua_State* L, int idx) { luaApi.lua_getfenv(L, idx); }
void lua_settable(lua_State* L, int idx) { luaApi.lua_settable(L, idx); }
void lua_setfield(lua_State* L, int idx, const char* k) { luaApi.lua_setfield(L, idx, k); }
void lua_rawset(lua_State* L, int idx) { luaApi.lua_rawset(L, idx); }
void lua_rawseti(lua_State* L, int idx, int n) { luaApi.lua_rawseti(L, idx, n); }
int lua_setmetatable(lua_State* L, int objindex) { return luaApi.lua_setmetatable(L, objindex); }
int lua_setfenv(lua_State* L, int idx) { return luaApi.lua_setfenv(L, idx); }
void lua_call(lua_State* L, int nargs, int nresults) { luaApi.lua_call(L, nargs, nresults); }
int lua_pcall(lua_State* L, int nargs, int nresults, int errfunc) {
    return luaApi.lua_pcall(L, nargs, nresults, errfunc);
}
int lua_cpcall(lua_State* L, lua_CFunction func, void* ud) {
    return luaApi.lua_cpcall(L, func, ud);
}
int lua_load(lua_State* L, lua_Reader reader, void* dt, const char* chunkname) {
    return luaApi.lua_load(L, reader, dt, chunkname);
}
int lua_dump(lua_State* L, lua_Writer writer, void* data) {
    return luaApi.lua_dump(L, writer, data);
}
int lua_yield(lua_State* L, int nresults) { return luaApi.lua_yield(L, nresults); }
int lua_resume(lua_State* L, int narg) { return luaApi.lua_resume(L, narg); }
int lua_status(lua_State* L) { return luaApi.lua_status(L); }
int lua_gc(lua_State* L, int what, int data) { return luaApi.lua_gc(L, what, data); }
int lua_error(lua_State* L) { return luaApi.lua_error(L); }
int lua_next(lua_State* L, int idx) { return luaApi.lua_next(L, idx); }
void lua_concat(lua_State* L, int n) { luaApi.lua_concat(L, n); }
lua_Alloc lua_getallocf(lua_State* L, void** ud) { return luaApi.lua_getallocf(L, ud); }
void lua_setallocf(lua_State* L, lua_Alloc f, void* ud) { luaApi.lua_setallocf(L, f, ud); }
void lua_setlevel(lua_State* from, lua_State* to) { luaApi.lua_setlevel(from, to); }
int lua_getstack(lua_State* L, int level, lua_Debug* ar) {
    return luaApi.lua_getstack(L, level, ar);
}
int lua_getinfo(lua_State* L, const char* what, lua_Debug* ar) {
    return luaApi.lua_getinfo(L, what, ar);
}
const char* lua_getlocal(lua_State* L, const lua_Debug* ar, int n) {
    return luaApi.lua_getlocal(L, ar, n);
}
const char* lua_setlocal(lua_State* L, const lua_Debug* ar, int n) {
    return luaApi.lua_setlocal(L, ar, n);
}
const char* lua_getupvalue(lua_State* L, int funcindex, int n) {
    return luaApi.lua_getupvalue(L, funcindex, n);
}
const char* lua_setupvalue(lua_State* L, int funcindex, int n) {
    return luaApi.lua_setupvalue(L, funcindex, n);
}
int lua_sethook(lua_State* L, lua_Hook func, int mask, int count) {
    return luaApi.lua_sethook(L, func, mask, count);
}
lua_Hook lua_gethook(lua_State* L) { return luaApi.lua_gethook(L); }
int lua_gethookmask(lua_State* L) { return luaApi.lua_gethookmask(L); }
int lua_gethookcount(lua_State* L) { return luaApi.lua_gethookcount(L); }
void luaL_openlib(lua_State* L, const char* libname, const luaL_Reg* l, int nup) {
    luaApi.luaL_openlib(L, libname, l, nup);
}
void luaL_register(lua_State* L, const char* libname, const luaL_Reg* l) {
    luaApi.luaL_register(L, libname, l);
}
int luaL_getmetafield(lua_State* L, int obj, const char* e) {
    return luaApi.luaL_getmetafield(L, obj, e);
}
int luaL_callmeta(lua_State* L, int obj, const char* e) { return luaApi.luaL_callmeta(L, obj, e); }
int luaL_typerror(lua_State* L, int narg, const char* tname) {
    return luaApi.luaL_typerror(L, narg, tname);
}
int luaL_argerror(lua_State* L, int numarg, const char* extramsg) {
    return luaApi.luaL_argerror(L, numarg, extramsg);
}
const char* luaL_checklstring(lua_State* L, int numArg, size_t* l) {
    return luaApi.luaL_checklstring(L, numArg, l);
}
const char* luaL_optlstring(lua_State* L, int numArg, const char* def, size_t* l) {
    return luaApi.luaL_optlstring(L, numArg, def, l);
}
lua_Number luaL_checknumber(lua_State* L, int numArg) { return luaApi.luaL_checknumber(L, numArg); }
lua_Number luaL_optnumber(lua_State* L, int nArg, lua_Number def) {
    return luaApi.luaL_optnumber(L, nArg, def);
}
lua_Integer luaL_checkinteger(lua_State* L, int numArg) {
    return luaApi.luaL_checkinteger(L, numArg);
}
lua_Integer luaL_optinteger(lua_State* L, int nArg, lua_Integer def) {
    return luaApi.luaL_optinteger(L, nArg, def);
}
void luaL_checkstack(lua_State* L, int sz, const char* msg) { luaApi.luaL_checkstack(L, sz, msg); }
void luaL_checktype(lua_State* L, int narg, int t) { luaApi.luaL_checktype(L, narg, t); }
void luaL_checkany(lua_State* L, int narg) { luaApi.luaL_checkany(L, narg); }
int luaL_newmetatable(lua_State* L, const char* tname) {
    return luaApi.luaL_newmetatable(L, tname);
}
void* luaL_checkudata(lua_State* L, int ud, const char* tname) {
    return luaApi.luaL_checkudata(L, ud, tname);
}
void luaL_where(lua_State* L, int lvl) { luaApi.luaL_where(L, lvl); }
int luaL_checkoption(lua_State* L, int narg, const char* def, const char* const lst[]) {
    return luaApi.luaL_checkoption(L, narg, def, lst);
}
int luaL_ref(lua_State* L, int t) { return luaApi.luaL_ref(L, t); }
void luaL_unref(lua_State* L, int t, int ref) { luaApi.luaL_unref(L, t, ref); }
int luaL_loadfile(lua_State* L, const char* filename) { return luaApi.luaL_loadfile(L, filename); }
int luaL_loadbuffer(lua_State* L, const char* buff, size_t sz, const char* name) {
    return luaApi.luaL_loadbuffer(L, buff, sz, name);
}
int luaL_loadstring(lua_State* L, const char* s) { return luaApi.luaL_loadstring(L, s); }
const char* luaL_gsub(lua_State* L, const char* s, const char* p, const char* r) {
    return luaApi.luaL_gsub(L, s, p, r);
}
const char* luaL_findtable(lua_State* L, int idx, const char* fname, int szhint) {
    return luaApi.luaL_findtable(L, idx, fname, szhint);
}
void luaL_buffinit(lua_State* L, luaL_Buffer* B) { luaApi.luaL_buffinit(L, B); }
char* luaL_prepbuffer(luaL_Buffer* B) { return luaApi.luaL_prepbuffer(B); }
void luaL_addlstring(luaL_Buffer* B, const char* s, size_t l) { luaApi.luaL_addlstring(B, s, l); }
void luaL_addstring(luaL_Buffer* B, const char* s) { luaApi.luaL_addstring(B, s); }
void luaL_addvalue(luaL_Buffer* B) { luaApi.luaL_addvalue(B); }
void luaL_pushresult(luaL_Buffer* B) { luaApi.luaL_pushresult(B); }
int luaopen_base(lua_State* L) { return luaApi.luaopen_base(L); }
int luaopen_table(lua_State* L) { return luaApi.luaopen_table(L); }
int luaopen_io(lua_State* L) { return luaApi.luaopen_io(L); }
int luaopen_os(lua_State* L) { return luaApi.luaopen_os(L); }
int luaopen_string(lua_State* L) { return luaApi.luaopen_string(L); }
int luaopen_math(lua_State* L) { return luaApi.luaopen_math(L); }
int luaopen_debug(lua_State* L) { return luaApi.luaopen_debug(L); }
int luaopen_package(lua_State* L) { return luaApi.luaopen_package(L); }
void luaL_openlibs(lua_State* L) { luaApi.luaL_openlibs(L); }

}  // extern "C"

#pragma GCC visibility pop
