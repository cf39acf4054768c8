#pragma once
// Stops runaway script code. A count hook raises a Lua error once a stop was requested
// (the instance or editor is closing) or once the current entry into the state has run
// past its time budget. The hook is set again at every entry, so a script that found a
// way to clear it cannot keep it off. The same hook lets a script running on another thread
// step aside when the audio thread asks for the state (ScriptStateGate). Called on:
// whichever thread holds the state; requestStop from any thread.

#include "engine/scripting/LuaHeaders.h"
#include "engine/scripting/ScriptStateGate.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace QN {

class LuaWatchdog {
public:
    // Often enough that a script on another thread steps aside for the audio thread within
    // a few microseconds; the hook costs well under 1 % of a script's time.
    static constexpr int kCheckInstructions = 1000;
    static constexpr int kDefaultBudgetSeconds = 3;

    explicit LuaWatchdog(std::chrono::milliseconds budget = std::chrono::seconds(kDefaultBudgetSeconds));
    LuaWatchdog(const LuaWatchdog&) = delete;
    LuaWatchdog& operator=(const LuaWatchdog&) = delete;

    // The budget that the "Script Time Limit" preference gives (seconds, 1 to 3600).
    static std::chrono::milliseconds budgetFromPreferences();

    // Lets the state's hook find this watchdog, and the gate of the state when the audio
    // thread shares it. Once, when the state is made.
    void attach(lua_State* L, ScriptStateGate* gate = nullptr);
    void setBudget(std::chrono::milliseconds budget) { budget_ = budget; }
    std::chrono::milliseconds budget() const { return budget_; }

    void requestStop() { stop_.store(true, std::memory_order_release); }
    bool stopRequested() const { return stop_.load(std::memory_order_acquire); }
    // Whether the latest entry was stopped for running past its budget.
    bool timedOut() const { return timedOut_.load(std::memory_order_relaxed); }

    // Wraps pcall, xpcall and coroutine.resume so that they hand a stop on instead of
    // catching it: a script looping around a protected call cannot outlast its budget.
    // A lua_CFunction taking no argument, to run in protected mode once the watchdog is
    // attached. Used where the whole script must end with its entry (the editor's layout).
    static int makeStopsUncatchable(lua_State* L);

    // Raises the hook's error now if a stop was requested or the budget is spent; for
    // library functions that run long without executing Lua instructions.
    static void check(lua_State* L);

    // One entry into the state, for as long as it lives: the hook is set again and the
    // budget starts now; the budget of an entry it interrupts (a script parked for the
    // audio thread) comes back when it ends. The caller holds the state.
    class Entry {
    public:
        Entry(LuaWatchdog& watchdog, lua_State* L);
        ~Entry();
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;

    private:
        LuaWatchdog& watchdog_;
        std::int64_t interruptedDeadline_;
    };

private:
    static void hook(lua_State* L, lua_Debug* where);
    static void raiseWhenDue(lua_State* L, int level);
    static LuaWatchdog* of(lua_State* L);
    static int passStopsOn(lua_State* L);
    bool overBudget() const;

    std::atomic<bool> stop_{false};
    std::atomic<bool> timedOut_{false};
    std::atomic<std::int64_t> deadline_{0};  // steady-clock nanoseconds; 0 while no entry runs
    std::chrono::milliseconds budget_;
    ScriptStateGate* gate_ = nullptr;
};

}  // namespace QN
