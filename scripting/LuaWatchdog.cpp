#include "scripting/LuaWatchdog.h"

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

void LuaWatchdog::attach(lua_State* L)
{
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
    const LuaWatchdog* watchdog = of(L);
    if (watchdog == nullptr) {
        return;
    }
    if (watchdog->stopRequested()) {
        luaL_where(L, level);
        lua_pushliteral(L, "script stopped: the plug-in instance is closing");
        lua_concat(L, 2);
        lua_error(L);
    }
    if (watchdog->overBudget()) {
        luaL_where(L, level);
        lua_pushfstring(L, "script stopped: it ran longer than %d s", static_cast<int>(watchdog->budget_.count() / 1000));
        lua_concat(L, 2);
        lua_error(L);
    }
}

LuaWatchdog::Entry::Entry(LuaWatchdog& watchdog, lua_State* L) : watchdog_(watchdog)
{
    lua_sethook(L, hook, LUA_MASKCOUNT, kCheckInstructions);
    const auto budget = std::chrono::duration_cast<std::chrono::nanoseconds>(watchdog.budget_).count();
    watchdog.deadline_.store(nowNs() + budget, std::memory_order_relaxed);
}

LuaWatchdog::Entry::~Entry() { watchdog_.deadline_.store(0, std::memory_order_relaxed); }

}  // namespace QN
