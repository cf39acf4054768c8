#pragma once
// The Lua 5.1 C API. The library is loaded privately at run time (so a host's own Lua
// can never capture our calls); these declarations bind to our forwarding functions.

extern "C" {
#include <lua5.1/lauxlib.h>
#include <lua5.1/lua.h>
#include <lua5.1/lualib.h>
}
