#pragma once
// string.rep built in pieces, so that a script building a string of many megabytes can
// still be stopped (time limit, closing) and can step aside for the audio thread while it
// does: the watchdog is looked at after every piece.

#include "engine/scripting/LuaHeaders.h"

namespace QN {

// Replaces string.rep in the state's string table. Runs inside a protected call, after
// the standard libraries are open.
void installInterruptibleRepeat(lua_State* L);

}  // namespace QN
