#pragma once
// sendOSC for scripts: builds one OSC message from a path, an optional format string and
// an argument table, and sends it to a reply URL over UDP.

#include "scripting/LuaHeaders.h"

namespace QN {

// The body of the Lua function sendOSC(url, path [, format] [, args]).
int sendOscFromScript(lua_State* L);

}  // namespace QN
