#pragma once

#include "engine/scripting/LuaHeaders.h"

namespace QN {

// Registers the layout functions every product offers (groups, knobs, buttons, labels,
// textures, fonts, colours, parameters, sendOSC) and the metatables of groups,
// elements, textures and fonts. Called on: host GUI thread, while the state is made.
void registerBuilderFunctions(lua_State* L);

}  // namespace QN
