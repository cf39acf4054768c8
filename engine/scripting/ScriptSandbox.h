#pragma once
// What the standard libraries may not do inside the plug-in: end the host process
// (os.exit), wait on the host's standard input (io.read, io.lines and dofile or
// loadfile without a file name, debug.debug), or take away the hook that stops runaway
// scripts (debug.sethook). Everything else stays, io.open and os.execute included: the
// scripts are the user's own files. Called once per state, right after the libraries are
// opened, on the thread that makes the state.

#include "engine/scripting/LuaHeaders.h"

namespace QN {

// Runs in protected mode; false when the state ran out of memory doing it.
bool restrictScriptLibraries(lua_State* L);

// All of the above, and what a layout script (a skin, which may come from anywhere) may
// not do besides: run programs or open files (os.execute, io.open, io.lines, io.popen,
// io.output; a FIFO or a command that never ends would hold the editor where no time
// limit reaches), or load anything but source text given to loadstring (load, loadfile,
// dofile, require, package.loadlib; precompiled chunks and native libraries could crash
// the host). Runs in protected mode; false when the state ran out of memory doing it.
bool restrictLayoutLibraries(lua_State* L);

}  // namespace QN
