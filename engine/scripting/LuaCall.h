#pragma once
// The one way into Lua: a protected call with the stack restored afterwards on success
// and on error, run with the "C" numeric locale so that number texts use '.'.
// The caller holds the Lua lock and has pushed the function and its arguments.

#include "engine/scripting/LuaHeaders.h"

namespace QN {

enum class LuaErrorPolicy {
    Silent,         // the error message is dropped
    KeepMessage,    // the message is copied into the caller's buffer
};

struct LuaCallResult {
    bool ok = true;
    char message[512] = {};
};

// Calls the function below nargs arguments with nresults results. On success the
// results are left on the stack above base (base = height before the function was
// pushed), for the caller to read and pop; on error the stack is restored to base.
bool protectedCall(lua_State* L, int nargs, int nresults, LuaErrorPolicy policy, LuaCallResult* result = nullptr);

// Runs function(ud) in protected mode, so that everything it allocates on the Lua side
// (tables, closures) fails with a Lua error rather than outside any protection. The
// stack is left as it was.
bool protectedCCall(lua_State* L, lua_CFunction function, void* ud, LuaErrorPolicy policy,
                    LuaCallResult* result = nullptr);

// Stack height guard: restores the height given at construction when it ends.
class LuaStackGuard {
public:
    explicit LuaStackGuard(lua_State* L) : L_(L), height_(lua_gettop(L)) {}
    ~LuaStackGuard() { lua_settop(L_, height_); }
    LuaStackGuard(const LuaStackGuard&) = delete;
    LuaStackGuard& operator=(const LuaStackGuard&) = delete;
    int height() const { return height_; }

private:
    lua_State* L_;
    int height_;
};

}  // namespace QN
