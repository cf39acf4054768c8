// MIDI request registration and timers for scripts.

#include "engine/scripting/LuaMIDIHelper.h"
#include "engine/scripting/LuaScriptFunctions.h"
#include "engine/scripting/LuaTimers.h"

#include <climits>
#include <cmath>

namespace QN::script {

namespace {

bool appendRef(RefList& list, int ref)
{
    try {
        list.push_back(ref);
        return true;
    } catch (...) {
        return false;
    }
}

bool appendKeyedRef(KeyedRefs& map, int key, int ref)
{
    try {
        map[key].push_back(ref);
        return true;
    } catch (...) {
        return false;
    }
}

int storeFunction(lua_State* L, int index)
{
    lua_pushvalue(L, index);
    return luaL_ref(L, LUA_REGISTRYINDEX);
}

int registerAll(lua_State* L, RefList MidiRequests::*list, const char* name, const char* ordinal)
{
    if (!lua_isfunction(L, 1)) {
        return luaL_error(L, "%s argument to %s() is not a function", ordinal, name);
    }
    LuaMIDIHelper* helper = LuaMIDIHelper::fromState(L);
    const int ref = storeFunction(L, 1);
    if (helper == nullptr || !appendRef(helper->requests().*list, ref)) {
        return luaL_error(L, "not enough memory");
    }
    return 0;
}

int keyArgument(lua_State* L)
{
    const double rounded = std::floor(static_cast<double>(luaL_checknumber(L, 1)) + 0.5);
    if (!(rounded >= static_cast<double>(INT_MIN) && rounded <= static_cast<double>(INT_MAX))) {
        return INT_MIN;  // a key no MIDI value produces
    }
    return static_cast<int>(rounded);
}

int registerKeyed(lua_State* L, KeyedRefs MidiRequests::*map, const char* name)
{
    const int key = keyArgument(L);
    if (!lua_isfunction(L, 2)) {
        return luaL_error(L, "second argument to %s() is not a function", name);
    }
    LuaMIDIHelper* helper = LuaMIDIHelper::fromState(L);
    const int ref = storeFunction(L, 2);
    if (helper == nullptr || !appendKeyedRef(helper->requests().*map, key, ref)) {
        return luaL_error(L, "not enough memory");
    }
    return 0;
}

}  // namespace

int requestAllNoteOn(lua_State* L) { return registerAll(L, &MidiRequests::allNoteOn, "requestAllNoteOn", "first"); }
int requestAllNoteOff(lua_State* L) { return registerAll(L, &MidiRequests::allNoteOff, "requestAllNoteOff", "first"); }
int requestAllCC(lua_State* L) { return registerAll(L, &MidiRequests::allCC, "requestAllCC", "first"); }
int requestAllNRPN(lua_State* L) { return registerAll(L, &MidiRequests::allNRPN, "requestAllNRPN", "first"); }
int requestAllProgramChange(lua_State* L)
{
    return registerAll(L, &MidiRequests::allProgramChange, "requestAllProgramChange", "first");
}
int requestAllPolyPressure(lua_State* L)
{
    return registerAll(L, &MidiRequests::allPolyPressure, "requestAllPolyPressure", "first");
}
int requestPitchWheel(lua_State* L) { return registerAll(L, &MidiRequests::pitchWheel, "requestPitchWheel", "first"); }
int requestChannelPressure(lua_State* L)
{
    return registerAll(L, &MidiRequests::channelPressure, "requestChannelPressure", "first");
}

int requestNoteOn(lua_State* L) { return registerKeyed(L, &MidiRequests::noteOn, "requestNoteOn"); }
int requestNoteOff(lua_State* L) { return registerKeyed(L, &MidiRequests::noteOff, "requestNoteOff"); }
int requestCC(lua_State* L) { return registerKeyed(L, &MidiRequests::cc, "requestCC"); }
int requestNRPN(lua_State* L) { return registerKeyed(L, &MidiRequests::nrpn, "requestNRPN"); }
int requestProgramChange(lua_State* L)
{
    return registerKeyed(L, &MidiRequests::programChange, "requestProgramChange");
}
int requestPolyPressure(lua_State* L) { return registerKeyed(L, &MidiRequests::polyPressure, "requestPolyPressure"); }

int requestTimedCallback(lua_State* L) { return startScriptTimer(L, false); }
int requestPeriodicCallback(lua_State* L) { return startScriptTimer(L, true); }
int cancelTimer(lua_State* L) { return cancelScriptTimer(L); }

}  // namespace QN::script
