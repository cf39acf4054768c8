#pragma once
// The allocator of a scripting state: the system allocator with a ceiling, so that a
// script that allocates without bound gets Lua's "not enough memory" error instead of
// taking the host's memory. Called on: whichever thread runs Lua (under the Lua lock).

#include <cstddef>

namespace QN {

struct LuaMemoryBudget {
    static constexpr std::size_t kDefaultLimit = std::size_t(256) << 20;

    std::size_t limit = kDefaultLimit;
    std::size_t used = 0;

    // The lua_Alloc function; ud is the budget.
    static void* allocate(void* ud, void* block, std::size_t oldSize, std::size_t newSize);
};

}  // namespace QN
