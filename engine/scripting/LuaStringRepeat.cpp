#include "engine/scripting/LuaStringRepeat.h"

#include "engine/scripting/LuaMemoryPool.h"
#include "engine/scripting/LuaWatchdog.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace QN {

namespace {

// About 20 µs of copying between two looks at the watchdog.
constexpr std::size_t kPieceBytes = 256 * 1024;

// The scratch block and the string need twice the result's size at once. Old results a
// script threw away are often what stands between it and the memory ceiling: a large
// string first collects them (never on the audio thread, whose collector work is bounded).
void collectBeforeALargeString(lua_State* L, std::size_t total)
{
    const LuaMemoryPool* pool = LuaMemoryPool::of(L);
    if (total >= kPieceBytes && pool != nullptr && !pool->realtime() && pool->used() + 2 * total > pool->limit() / 2) {
        lua_gc(L, LUA_GCCOLLECT, 0);
    }
}

// string.rep(s, n): the result is filled by doubling what is there, piece by piece, in a
// scratch block that Lua owns (so an error leaves nothing behind), then made a string.
int repeat(lua_State* L)
{
    std::size_t length = 0;
    const char* text = luaL_checklstring(L, 1, &length);
    const lua_Integer count = luaL_checkinteger(L, 2);
    if (count <= 0 || length == 0) {
        lua_pushliteral(L, "");
        return 1;
    }
    if (length > std::numeric_limits<std::size_t>::max() / 2 / static_cast<std::size_t>(count)) {
        return luaL_error(L, "resulting string too large");
    }
    const std::size_t total = length * static_cast<std::size_t>(count);
    collectBeforeALargeString(L, total);
    auto* scratch = static_cast<char*>(lua_newuserdata(L, total));
    std::memcpy(scratch, text, length);
    for (std::size_t filled = length; filled < total;) {
        const std::size_t piece = std::min({filled, total - filled, kPieceBytes});
        std::memcpy(scratch + filled, scratch, piece);
        filled += piece;
        LuaWatchdog::check(L);
    }
    lua_pushlstring(L, scratch, total);
    return 1;
}

}  // namespace

void installInterruptibleRepeat(lua_State* L)
{
    lua_getglobal(L, "string");
    if (lua_istable(L, -1)) {
        lua_pushcfunction(L, repeat);
        lua_setfield(L, -2, "rep");
    }
    lua_pop(L, 1);
}

}  // namespace QN
