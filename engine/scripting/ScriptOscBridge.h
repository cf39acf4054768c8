#pragma once
// The OSC functions that scripts call, provided by the OSC helper. Each one is the body
// of a Lua C function: it reads its arguments from the stack, may raise Lua errors and
// returns its number of results. Called on: whichever thread runs the script (under the
// Lua lock).

struct lua_State;

namespace QN {

class ScriptOscBridge {
public:
    virtual ~ScriptOscBridge() = default;
    virtual int scriptRegisterPathForParameter(lua_State* L, bool normalized) = 0;
    virtual int scriptRegisterPathForFunction(lua_State* L) = 0;
};

}  // namespace QN
