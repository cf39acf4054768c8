#pragma once

#include <string>

namespace platform {

// Loads Lua 5.1 privately, once per process.
//
// A host may export another Lua under the same symbol names. So instead of
// linking against liblua5.1, the platform library opens "liblua5.1.so.0" with
// RTLD_LOCAL | RTLD_DEEPBIND (its own calls stay inside it) and resolves every
// function of the Lua C API and auxiliary library from that handle. Hidden
// functions of the same names inside the platform library forward to them, so
// the rest of the code includes <lua5.1/lua.hpp>, uses the ordinary Lua API,
// and links lumenfold_platform instead of liblua5.1.
//
// luaL_newstate and lua_newstate call this themselves and return null when it
// fails; every other Lua function needs a state, so cannot be reached before.
//
// The portable build (LUMENFOLD_PORTABLE) links Lua in statically with its names
// hidden instead; there this always succeeds.
//
// Returns true when Lua is usable; otherwise false, and *error (when given)
// describes the failure. The outcome of the first attempt is kept.
// Called on: any thread.
[[nodiscard]] bool loadLuaLibrary(std::string* error);

}  // namespace platform
