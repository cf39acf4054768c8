#pragma once
// The global functions of the MIDI scripting interface, as Lua C functions. They run
// inside a protected call under the Lua lock, on whichever thread called into Lua.
// None of them keeps a C++ object with a destructor alive across a Lua error.

#include "engine/scripting/LuaHeaders.h"

namespace QN::script {

// Parameters and indicators.
int setParameter(lua_State* L);
int getParameter(lua_State* L);
int getParameterID(lua_State* L);
int getParameterMinMax(lua_State* L);
int getParameterUnit(lua_State* L);
int getParameterName(lua_State* L);
int isParameterUsed(lua_State* L);
int getNumParameters(lua_State* L);
int setOthersParameter(lua_State* L);
int getOthersParameter(lua_State* L);
// Bin levels by frequency, with the instance's FFT size and sample rate.
int setBinLevelsHz(lua_State* L);
int getBinForHz(lua_State* L);
int time(lua_State* L);
int setGUIBoolValue(lua_State* L);
int getGUIBoolValue(lua_State* L);
int setOthersGUIBoolValue(lua_State* L);
int getOthersGUIBoolValue(lua_State* L);

// MIDI requests.
int requestAllNoteOn(lua_State* L);
int requestAllNoteOff(lua_State* L);
int requestAllCC(lua_State* L);
int requestAllNRPN(lua_State* L);
int requestAllProgramChange(lua_State* L);
int requestAllPolyPressure(lua_State* L);
int requestNoteOn(lua_State* L);
int requestNoteOff(lua_State* L);
int requestCC(lua_State* L);
int requestNRPN(lua_State* L);
int requestPitchWheel(lua_State* L);
int requestChannelPressure(lua_State* L);
int requestProgramChange(lua_State* L);
int requestPolyPressure(lua_State* L);

// Timers.
int requestTimedCallback(lua_State* L);
int requestPeriodicCallback(lua_State* L);
int cancelTimer(lua_State* L);

// OSC.
int sendOSC(lua_State* L);
int registerOSCPathForParameter(lua_State* L);
int registerOSCPathForParameterNormalized(lua_State* L);
int registerOSCPathForFunction(lua_State* L);

// The user's preset files (UserPresets).
int savePreset(lua_State* L);
int loadPreset(lua_State* L);

// The program's own print, which writes to the debugger output.
int print(lua_State* L);

// Reads a parameter argument: an index (rounded to the nearest integer, checked against
// the table unless checkRange is false) or a name (looked up). Raises the scripting
// interface's errors.
int parameterArgument(lua_State* L, int index, bool checkRange = true);

}  // namespace QN::script
