#pragma once
// Script timers. A timer record lives from its request until its one-shot call, its
// cancellation or the helper's destruction. Records are found through a process-wide
// table keyed by a serial number that is never reused: the timer worker is handed that
// number rather than the record's address, so a callback that was already on its way
// when its timer was cancelled finds nothing instead of a freed record.

#include "engine/scripting/LuaHeaders.h"

namespace QN {

class LuaMIDIHelper;

// Lua C function bodies (see LuaScriptFunctions.h).
int startScriptTimer(lua_State* L, bool periodic);
int cancelScriptTimer(lua_State* L);

// Frees the records of a helper whose timer queue is already gone (destruction).
void forgetTimersOf(LuaMIDIHelper* helper);

}  // namespace QN
