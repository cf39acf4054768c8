#include "engine/scripting/LuaMemoryBudget.h"

#include <cstdlib>

namespace QN {

void* LuaMemoryBudget::allocate(void* ud, void* block, std::size_t oldSize, std::size_t newSize)
{
    auto* budget = static_cast<LuaMemoryBudget*>(ud);
    if (newSize == 0) {
        std::free(block);
        budget->used -= oldSize;
        return nullptr;
    }
    if (newSize > oldSize && newSize - oldSize > budget->limit - budget->used) {
        return nullptr;
    }
    void* grown = std::realloc(block, newSize);
    if (grown != nullptr) {
        budget->used = budget->used - oldSize + newSize;
    }
    return grown;
}

}  // namespace QN
