// The OSC functions for scripts. Registering addresses goes through the instance's OSC
// helper; without one they do nothing.

#include "engine/scripting/LuaMIDIHelper.h"
#include "engine/scripting/LuaScriptFunctions.h"
#include "engine/scripting/OscMessageSender.h"
#include "engine/scripting/ScriptOscBridge.h"

namespace QN::script {

namespace {

ScriptOscBridge* bridgeOf(lua_State* L)
{
    LuaMIDIHelper* helper = LuaMIDIHelper::fromState(L);
    return helper ? helper->oscBridge() : nullptr;
}

}  // namespace

int sendOSC(lua_State* L) { return sendOscFromScript(L); }

int registerOSCPathForParameter(lua_State* L)
{
    ScriptOscBridge* bridge = bridgeOf(L);
    return bridge ? bridge->scriptRegisterPathForParameter(L, false) : 0;
}

int registerOSCPathForParameterNormalized(lua_State* L)
{
    ScriptOscBridge* bridge = bridgeOf(L);
    return bridge ? bridge->scriptRegisterPathForParameter(L, true) : 0;
}

int registerOSCPathForFunction(lua_State* L)
{
    ScriptOscBridge* bridge = bridgeOf(L);
    return bridge ? bridge->scriptRegisterPathForFunction(L) : 0;
}

}  // namespace QN::script
