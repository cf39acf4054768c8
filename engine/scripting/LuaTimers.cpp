#include "engine/scripting/LuaTimers.h"

#include "platform/TimerQueue.h"
#include "engine/scripting/LuaMIDIHelper.h"

#include <cmath>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace QN {

namespace {

struct TimerRecord {
    LuaMIDIHelper* helper;
    int functionRef;
    platform::TimerQueue::TimerId handle;
    bool periodic;
};

// The timer lock: taken after the Lua lock, never the other way round.
std::mutex& timerLock()
{
    static std::mutex lock;
    return lock;
}

std::unordered_map<std::uint64_t, TimerRecord>& liveTimers()
{
    static std::unordered_map<std::uint64_t, TimerRecord> timers;
    return timers;
}

std::uint64_t nextSerial()
{
    static std::uint64_t serial = 0;
    return ++serial;  // under the timer lock
}

constexpr std::uint32_t kHandshakeDueMs = 1000000;

std::uint32_t intervalMs(lua_Number seconds)
{
    const double ms = std::trunc(static_cast<double>(seconds) * 1000.0);
    if (!(ms > 0.0)) {
        return 0;
    }
    return ms >= 4294967294.0 ? 4294967294u : static_cast<std::uint32_t>(ms);
}

// Called on: the helper's timer worker thread.
void timerFired(void* user)
{
    const auto serial = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(user));
    LuaMIDIHelper* helper = nullptr;
    int ref = 0;
    bool last = false;
    {
        std::lock_guard<std::mutex> lock(timerLock());
        auto found = liveTimers().find(serial);
        if (found == liveTimers().end()) {
            return;  // cancelled
        }
        helper = found->second.helper;
        ref = found->second.functionRef;
        if (!found->second.periodic) {
            if (platform::TimerQueue* queue = helper->timerQueue()) {
                queue->deleteTimer(found->second.handle);
            }
            liveTimers().erase(found);
            last = true;
        }
    }
    // The helper outlives this call: its destructor waits for running callbacks.
    helper->callRegisteredFunction(ref, {}, "timer");
    if (last) {
        helper->releaseTimer(ref);
    }
}

}  // namespace

int startScriptTimer(lua_State* L, bool periodic)
{
    const lua_Number seconds = luaL_checknumber(L, 1);
    if (!lua_isfunction(L, 2)) {
        return luaL_error(L, "second argument to requestTimerCallback() is not a function");
    }
    LuaMIDIHelper* helper = LuaMIDIHelper::fromState(L);
    platform::TimerQueue* queue = helper ? helper->timerQueue() : nullptr;
    if (queue == nullptr) {
        return luaL_error(L, "timers are not available");
    }
    auto* userdata = static_cast<std::uint64_t*>(lua_newuserdata(L, sizeof(std::uint64_t)));
    luaL_getmetatable(L, LuaMIDIHelper::kTimerMetatable);
    lua_setmetatable(L, -2);
    if (!helper->reserveTimerMemory()) {
        return luaL_error(L, "not enough memory");
    }
    lua_pushvalue(L, 2);
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    const std::uint32_t interval = intervalMs(seconds);

    bool started = false;
    {
        std::lock_guard<std::mutex> lock(timerLock());
        const std::uint64_t serial = nextSerial();
        *userdata = serial;
        // A long first due time keeps the callback away until the record is complete.
        const auto handle = queue->createTimer(timerFired, reinterpret_cast<void*>(static_cast<std::uintptr_t>(serial)),
                                               kHandshakeDueMs, periodic ? interval : 0);
        if (handle != 0) {
            try {
                liveTimers().emplace(serial, TimerRecord{helper, ref, handle, periodic});
                started = true;
            } catch (...) {
                queue->deleteTimer(handle);
            }
        }
        if (started) {
            queue->changeTimer(handle, interval, periodic ? interval : 0);
        }
    }
    if (!started) {
        luaL_unref(L, LUA_REGISTRYINDEX, ref);
        helper->returnTimerMemory();
        return luaL_error(L, "could not start a timer");
    }
    return 1;
}

int cancelScriptTimer(lua_State* L)
{
    const auto* userdata = static_cast<const std::uint64_t*>(luaL_checkudata(L, 1, LuaMIDIHelper::kTimerMetatable));
    const std::uint64_t serial = *userdata;
    std::lock_guard<std::mutex> lock(timerLock());
    auto found = liveTimers().find(serial);
    if (found != liveTimers().end()) {
        LuaMIDIHelper* helper = found->second.helper;
        if (platform::TimerQueue* queue = helper->timerQueue()) {
            queue->deleteTimer(found->second.handle);
        }
        // Cancelled from the timer's own state (the Lua lock is held): its function goes now.
        if (helper == LuaMIDIHelper::fromState(L)) {
            luaL_unref(L, LUA_REGISTRYINDEX, found->second.functionRef);
            helper->returnTimerMemory();
        }
        liveTimers().erase(found);
    }
    return 0;
}

void forgetTimersOf(LuaMIDIHelper* helper)
{
    std::lock_guard<std::mutex> lock(timerLock());
    std::erase_if(liveTimers(), [helper](const auto& entry) { return entry.second.helper == helper; });
}

}  // namespace QN
