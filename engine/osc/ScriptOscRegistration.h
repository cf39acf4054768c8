#pragma once
// The bodies of the scripts' registerOSCPathForParameter(Normalized) and
// registerOSCPathForFunction. They run inside Lua (any thread that runs a script, under
// the Lua lock) and may raise Lua errors; every C++ object they make is gone before an
// error is raised, and no C++ exception reaches Lua.

#include "engine/scripting/LuaHeaders.h"

namespace QN {

class ScriptPathTable;

class ScriptOscRegistration {
public:
    // path, params: params is one parameter (index or name) or a sequence of them.
    static int registerParameterPath(lua_State* L, ScriptPathTable& paths, bool normalized);
    // path, function: the function is kept in the Lua registry.
    static int registerFunctionPath(lua_State* L, ScriptPathTable& paths);

private:
    static int collectParameters(lua_State* L);
    static bool addParameterEntry(lua_State* L, ScriptPathTable& paths, const char* path, int count,
                                  bool normalized, bool* consistent);
    static bool addFunction(ScriptPathTable& paths, const char* path, int ref);
};

}  // namespace QN
