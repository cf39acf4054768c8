#include "engine/scripting/LuaWatchdog.h"

#include "platform/PreferenceStore.h"

#include <algorithm>

namespace QN {

namespace {

// Registry key: the address of this string, which no script can forge.
const char kWatchdogKey[] = "QN::LuaWatchdog";

constexpr int kMaximumBudgetSeconds = 3600;

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

LuaWatchdog::LuaWatchdog(std::chrono::milliseconds budget) : budget_(budget) {}

std::chrono::milliseconds LuaWatchdog::budgetFromPreferences()
{
    const int seconds = platform::readPreferenceInt("Script Time Limit", kDefaultBudgetSeconds);
    return std::chrono::seconds(std::clamp(seconds, 1, kMaximumBudgetSeconds));
}

void LuaWatchdog::attach(lua_State* L, ScriptStateGate* gate)
{
    gate_ = gate;
    lua_pushlightuserdata(L, const_cast<char*>(kWatchdogKey));
    lua_pushlightuserdata(L, this);
    lua_rawset(L, LUA_REGISTRYINDEX);
    lua_sethook(L, hook, LUA_MASKCOUNT, kCheckInstructions);
}

LuaWatchdog* LuaWatchdog::of(lua_State* L)
{
    lua_pushlightuserdata(L, const_cast<char*>(kWatchdogKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto* watchdog = static_cast<LuaWatchdog*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return watchdog;
}

bool LuaWatchdog::overBudget() const
{
    const std::int64_t deadline = deadline_.load(std::memory_order_relaxed);
    return deadline != 0 && nowNs() > deadline;
}

void LuaWatchdog::check(lua_State* L)
{
    // Level 1 from inside a library function is the script that called it.
    raiseWhenDue(L, 1);
}

void LuaWatchdog::hook(lua_State* L, lua_Debug*)
{
    // Level 0 inside a hook is the running script function.
    raiseWhenDue(L, 0);
}

// The error names the place of the script at the given level.
void LuaWatchdog::raiseWhenDue(lua_State* L, int level)
{
    LuaWatchdog* watchdog = of(L);
    if (watchdog == nullptr) {
        return;
    }
    if (watchdog->gate_ != nullptr) {
        watchdog->gate_->handOverIfAsked();
    }
    if (watchdog->stopRequested()) {
        luaL_where(L, level);
        lua_pushliteral(L, "script stopped: the plug-in instance is closing");
        lua_concat(L, 2);
        lua_error(L);
    }
    if (watchdog->overBudget()) {
        watchdog->timedOut_.store(true, std::memory_order_relaxed);
        luaL_where(L, level);
        lua_pushfstring(L, "script stopped: it ran longer than %d s", static_cast<int>(watchdog->budget_.count() / 1000));
        lua_concat(L, 2);
        lua_error(L);
    }
}

// Upvalue 1 is the wrapped function; its results go back unchanged unless a stop came.
int LuaWatchdog::passStopsOn(lua_State* L)
{
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    raiseWhenDue(L, 1);
    return lua_gettop(L);
}

int LuaWatchdog::makeStopsUncatchable(lua_State* L)
{
    struct Wrapped {
        const char* library;  // null for a global
        const char* name;
    };
    for (const Wrapped& wrapped : {Wrapped{nullptr, "pcall"}, Wrapped{nullptr, "xpcall"}, Wrapped{"coroutine", "resume"}}) {
        if (wrapped.library == nullptr) {
            lua_pushvalue(L, LUA_GLOBALSINDEX);
        } else {
            lua_getglobal(L, wrapped.library);
        }
        if (lua_istable(L, -1)) {
            lua_getfield(L, -1, wrapped.name);  // table, original
            if (lua_isfunction(L, -1)) {
                lua_pushcclosure(L, passStopsOn, 1);
                lua_setfield(L, -2, wrapped.name);
            } else {
                lua_pop(L, 1);
            }
        }
        lua_pop(L, 1);
    }
    return 0;
}

LuaWatchdog::Entry::Entry(LuaWatchdog& watchdog, lua_State* L)
    : watchdog_(watchdog), interruptedDeadline_(watchdog.deadline_.load(std::memory_order_relaxed))
{
    lua_sethook(L, hook, LUA_MASKCOUNT, kCheckInstructions);
    watchdog.timedOut_.store(false, std::memory_order_relaxed);
    const auto budget = std::chrono::duration_cast<std::chrono::nanoseconds>(watchdog.budget_).count();
    watchdog.deadline_.store(nowNs() + budget, std::memory_order_relaxed);
}

LuaWatchdog::Entry::~Entry() { watchdog_.deadline_.store(interruptedDeadline_, std::memory_order_relaxed); }

}  // namespace QN
