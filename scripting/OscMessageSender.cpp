#include "scripting/OscMessageSender.h"

namespace QN {

// Sending arrives with the OSC control surface; until then the call is accepted and
// does nothing.
int sendOscFromScript(lua_State*) { return 0; }

}  // namespace QN
