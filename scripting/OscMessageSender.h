#pragma once
// sendOSC for scripts: builds one OSC message from a path, an optional format string and
// an argument table, and sends it to a URL ("osc.udp://host:port", prefix optional) from
// a UDP socket opened for this message alone. The host lookup and the socket work happen
// on the calling thread, which may be the audio thread when a MIDI handler sends.

#include "scripting/LuaHeaders.h"

namespace QN {

class OscNetwork;

// The body of the Lua function sendOSC(url, path [, format] [, args]). A failure raises
// a Lua error and sends nothing; the Lua state stays usable.
int sendOscFromScript(lua_State* L);

// The same through another network (tests).
int sendOscFromScript(lua_State* L, OscNetwork& network);

}  // namespace QN
