#pragma once
// sendOSC for scripts: builds one OSC message from a path, an optional format string and
// an argument table, and queues it for a URL ("osc.udp://host:port", prefix optional).
// The calling thread may be the audio thread (a MIDI handler), so it only builds the
// message on its stack and copies it into the process's OscOutbox; the host lookup and
// the socket work happen on the outbox's thread.

#include "engine/scripting/LuaHeaders.h"

namespace QN {

// The body of the Lua function sendOSC(url, path [, format] [, args]). A bad URL or
// message, or a full queue, raises a Lua error and sends nothing; the Lua state stays
// usable. A host that cannot be found is reported by the outbox later.
int sendOscFromScript(lua_State* L);

}  // namespace QN
