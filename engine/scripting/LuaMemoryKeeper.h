#pragma once
// Keeps a scripting state's memory pool ahead of need: a thread of its own tops up the
// pool's spare chunks and frees the blocks the audio thread let go of, whenever asked. It
// sleeps until then, so an idle instance costs nothing.
//
// Called on: ask() on any thread, the audio thread included (an atomic flag and, when the
// keeper sleeps, one futex wake-up); construction and destruction on the host thread.

#include "platform/WakeFlags.h"

#include <thread>

namespace QN {

class LuaMemoryPool;

class LuaMemoryKeeper {
public:
    // Starts the thread, which fills the pool's reserve at once.
    explicit LuaMemoryKeeper(LuaMemoryPool& pool);
    ~LuaMemoryKeeper();
    LuaMemoryKeeper(const LuaMemoryKeeper&) = delete;
    LuaMemoryKeeper& operator=(const LuaMemoryKeeper&) = delete;

    // Asks for a replenish soon, if the pool wants one.
    void askWhenWanted();

private:
    static constexpr std::uint32_t kReplenish = 1;
    static constexpr std::uint32_t kStop = 2;

    void run();

    LuaMemoryPool& pool_;
    platform::WakeFlags wake_;
    std::thread thread_;
};

}  // namespace QN
