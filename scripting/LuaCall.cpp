#include "scripting/LuaCall.h"

#include "platform/CLocaleScope.h"

#include <cstring>

namespace QN {

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
    const int status = lua_cpcall(L, function, ud);
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
