#include "engine/scripting/LuaCall.h"

#include "platform/CLocaleScope.h"
#include "engine/scripting/LuaMemoryBudget.h"
#include "engine/scripting/LuaMemoryPool.h"

#include <cstring>

namespace QN {

namespace {

// Below this much room under the ceiling, an entry collects garbage before it runs, so a
// state that a script filled with garbage recovers by itself.
constexpr std::size_t kHeadroomBytes = 64 * 1024;

// Never on the audio thread, whose collector work is bounded: there the entry fails with
// "not enough memory" instead, and the next entry elsewhere collects.
void collectWhenNearTheCeiling(lua_State* L)
{
    void* ud = nullptr;
    std::size_t room = kHeadroomBytes;
    if (lua_getallocf(L, &ud) == LuaMemoryBudget::allocate) {
        const auto* budget = static_cast<const LuaMemoryBudget*>(ud);
        room = budget->limit - budget->used;
    } else if (const LuaMemoryPool* pool = LuaMemoryPool::of(L); pool != nullptr && !pool->realtime()) {
        room = pool->used() > pool->limit() ? 0 : pool->limit() - pool->used();
    }
    if (room < kHeadroomBytes) {
        lua_gc(L, LUA_GCCOLLECT, 0);
    }
}

// Calls the C function that is its upvalue, with the caller's light userdata.
int entryTrampoline(lua_State* L)
{
    collectWhenNearTheCeiling(L);
    auto* function = reinterpret_cast<lua_CFunction>(lua_touserdata(L, lua_upvalueindex(1)));
    return function(L);
}

int makeEntry(lua_State* L)
{
    void* function = lua_touserdata(L, 1);
    lua_pushlightuserdata(L, function);
    lua_pushlightuserdata(L, function);
    lua_pushcclosure(L, entryTrampoline, 1);
    lua_rawset(L, LUA_REGISTRYINDEX);
    return 0;
}

// Pushes the entry closure of function, made once and kept in the registry, so that
// entering a state at its memory ceiling needs no allocation before the protection.
// False (nothing pushed) when it could not be made.
bool pushEntry(lua_State* L, lua_CFunction function)
{
    void* key = reinterpret_cast<void*>(function);
    lua_pushlightuserdata(L, key);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_isfunction(L, -1)) {
        return true;
    }
    lua_pop(L, 1);
    if (lua_cpcall(L, makeEntry, key) != 0) {
        lua_pop(L, 1);
        return false;
    }
    lua_pushlightuserdata(L, key);
    lua_rawget(L, LUA_REGISTRYINDEX);
    return true;
}

}  // namespace

bool protectedCall(lua_State* L, int nargs, int nresults, LuaErrorPolicy policy, LuaCallResult* result)
{
    const int base = lua_gettop(L) - nargs - 1;
    platform::CLocaleScope numbersWithPoints;
    const int status = lua_pcall(L, nargs, nresults, 0);
    if (status == 0) {
        return true;
    }
    if (policy == LuaErrorPolicy::KeepMessage && result != nullptr) {
        const char* text = lua_tostring(L, -1);
        std::strncpy(result->message, text ? text : "(error object is not a string)", sizeof(result->message) - 1);
        result->message[sizeof(result->message) - 1] = '\0';
    }
    if (result != nullptr) {
        result->ok = false;
    }
    lua_settop(L, base);
    return false;
}

bool protectedCCall(lua_State* L, lua_CFunction function, void* ud, LuaErrorPolicy policy, LuaCallResult* result)
{
    const int base = lua_gettop(L);
    platform::CLocaleScope numbersWithPoints;
    int status = 0;
    if (pushEntry(L, function)) {
        lua_pushlightuserdata(L, ud);
        status = lua_pcall(L, 1, 0, 0);
    } else {
        status = lua_cpcall(L, function, ud);
    }
    if (status != 0 && policy == LuaErrorPolicy::KeepMessage && result != nullptr) {
        const char* text = lua_tostring(L, -1);
        std::strncpy(result->message, text ? text : "(error object is not a string)", sizeof(result->message) - 1);
        result->message[sizeof(result->message) - 1] = '\0';
    }
    if (result != nullptr) {
        result->ok = status == 0;
    }
    lua_settop(L, base);
    return status == 0;
}

}  // namespace QN
