#pragma once
// Helpers for the layout script's C functions. They run inside protected calls and
// raise Lua errors, which unwind with longjmp: callers keep no object with a
// destructor alive across a call that can raise.

#include "engine/scripting/LuaHeaders.h"

#include "platform/ThreadCancellation.h"

namespace QN {

class LuaGui;
class Manager;
class UIElement;

namespace luagui {

constexpr const char* kGroup = "QNgui.Group";
constexpr const char* kElement = "QNgui.Element";
constexpr const char* kTexture = "QNgui.Texture";
constexpr const char* kFont = "QNgui.Font";
constexpr const char* kKnobRenderer = "QNgui.KnobRenderer";
constexpr const char* kLevelMeters = "QNgui.LevelMeters";
constexpr const char* kWaveformDisplay = "QNgui.WaveformDisplay";
constexpr const char* kViewRefcon = "QNgui::kViewRefcon";
constexpr const char* kButtonLookup = "QNgui::kButtonLookup";

// The builder stored in the registry.
LuaGui& builderOf(lua_State* L);
// The builder's manager; raises "the editor is not open" without one.
Manager& managerOf(lua_State* L);
// The manager while the layout is being built; raises an error afterwards.
Manager& buildingManagerOf(lua_State* L);
// Index of the first of the last count arguments (at least 1).
int lastArguments(lua_State* L, int count);
float numberAt(lua_State* L, int index);
// A parameter given by name, or also by number (rounded, 0..2080) when numbers is set.
int parameterAt(lua_State* L, int index, bool numbers);
// A full userdata holding pointer, with the named metatable.
void pushObject(lua_State* L, void* pointer, const char* metatable);
// The pointer of a userdata with the named metatable; Lua's type error otherwise.
void* objectAt(lua_State* L, int index, const char* metatable);
// A GUI element argument: "element expected" or a type error naming "element".
UIElement* elementArgument(lua_State* L, int index);
// Creates a named metatable whose __index is itself, with the given methods, locked
// against the script (its __metatable field): a script that could change it could give
// the editor's objects a finalizer, which runs where no time limit reaches.
void createMetatable(lua_State* L, const char* name, const luaL_Reg* methods);
// Raises the Lua error for a C++ exception caught in a layout function.
int raiseOutOfMemory(lua_State* L);

// A layout function as registered: a C++ exception inside it (no memory for an element)
// becomes a Lua error instead of unwinding through the interpreter. Lua errors raised
// inside pass through as they are. The function is fixed at compile time, so nothing a
// script can reach (upvalues) decides what is called.
template <lua_CFunction function>
int guarded(lua_State* L)
{
    try {
        return function(L);
    } catch (...) {
        platform::rethrowIfThreadCancelled();  // the host cancelled its thread (inside sendOSC)
    }
    return raiseOutOfMemory(L);
}

// Sets each function as a global.
void registerGlobals(lua_State* L, const luaL_Reg* functions, int count);

}  // namespace luagui
}  // namespace QN
