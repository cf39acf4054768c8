#pragma once
// string.find, string.match, string.gmatch and string.gsub with Lua 5.1's pattern rules,
// matched by our own code so that a pattern which backtracks for minutes can be stopped:
// the matcher looks at the state's watchdog every few thousand steps, so the time limit
// and the stop at closing reach scripts inside a pattern match too.

#include "engine/scripting/LuaHeaders.h"

namespace QN {

// Puts the four functions into the state's string table (gfind too, where it exists).
// Runs inside a protected call, after the standard libraries are open.
void installInterruptiblePatterns(lua_State* L);

}  // namespace QN
