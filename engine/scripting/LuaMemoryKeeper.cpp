#include "engine/scripting/LuaMemoryKeeper.h"

#include "engine/scripting/LuaMemoryPool.h"
#include "platform/ThreadName.h"

namespace QN {

LuaMemoryKeeper::LuaMemoryKeeper(LuaMemoryPool& pool) : pool_(pool)
{
    wake_.raise(kReplenish);
    thread_ = std::thread([this] { run(); });
}

LuaMemoryKeeper::~LuaMemoryKeeper()
{
    wake_.raise(kStop);
    thread_.join();
}

void LuaMemoryKeeper::askWhenWanted()
{
    if (pool_.wantsReplenish()) {
        wake_.raise(kReplenish);
    }
}

void LuaMemoryKeeper::run()
{
    platform::nameThisThread("lf-lua-memory");
    for (;;) {
        const std::uint32_t flags = wake_.wait(-1);
        if ((flags & kStop) != 0) {
            return;
        }
        pool_.replenish();
    }
}

}  // namespace QN
