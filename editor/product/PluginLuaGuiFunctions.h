#pragma once

#include "engine/scripting/LuaHeaders.h"

// The layout functions only the plug-in offers: "levelMeters", "vectorMeters",
// "textField", "setBackgroundTexture", "knobRenderer", "vectorKnobRenderer",
// "waveformDisplay" and "presetMenu", with the metatables of level meters, the spectrum
// display and knob renderers. Called on: host GUI thread,
// while a PluginLuaGui builds the layout.
void registerPluginGuiFunctions(lua_State* L);
