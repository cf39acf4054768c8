// The portable build links Lua 5.1 in from a static archive whose names the plug-in
// module hides, so the plug-in's calls already bind to its own copy and there is nothing
// to load (see platform/LuaLibrary.h).

#include "platform/LuaLibrary.h"

namespace platform {

bool loadLuaLibrary(std::string* /*error*/) { return true; }

}  // namespace platform
