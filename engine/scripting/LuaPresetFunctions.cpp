// savePreset(name) and loadPreset(name) for scripts: the user's preset files by file name
// (UserPresets). A refusal raises a Lua error, which pcall can catch; lines a load skipped
// go to the console. Files are read and written, so never from the audio thread (a MIDI
// handler or spectral script): there the call is refused, and a timer can do it instead.

#include "engine/scripting/LuaMIDIHelper.h"
#include "engine/scripting/LuaScriptFunctions.h"
#include "engine/scripting/PluginServices.h"
#include "engine/scripting/ScriptConsole.h"
#include "engine/scripting/UserPresets.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace QN::script {

namespace {

using Action = UserPresets::Outcome (*)(PluginServices&, const std::string&);

// Runs the action and leaves its error, if any, in error: no C++ object outlives this
// function, so the caller may raise the Lua error afterwards.
void runAction(LuaMIDIHelper& helper, Action action, const char* name, std::size_t length, char* error,
               std::size_t errorSize)
{
    if (std::strlen(name) != length) {
        std::snprintf(error, errorSize, "%s", "a preset file name may not hold control characters");
        return;
    }
    const UserPresets::Outcome outcome = action(*helper.plugin(), std::string(name, length));
    for (const std::string& message : outcome.messages) helper.diagnosticPrint("preset %s", message.c_str());
    if (!outcome.ok()) std::snprintf(error, errorSize, "%s", outcome.error.c_str());
}

int presetCall(lua_State* L, Action action, const char* function)
{
    std::size_t length = 0;
    const char* name = luaL_checklstring(L, 1, &length);
    LuaMIDIHelper* helper = LuaMIDIHelper::fromState(L);
    if (helper == nullptr || helper->plugin() == nullptr) {
        return luaL_error(L, "the scripting interface is not attached to this state");
    }
    if (helper->luaLock().heldByAudio()) {
        return luaL_error(L, "%s reads and writes files and cannot run on the audio thread "
                             "(call it from a timer)", function);
    }
    char error[ScriptConsole::kTextBytes] = {};
    runAction(*helper, action, name, length, error, sizeof(error));
    if (error[0] != '\0') {
        return luaL_error(L, "%s: %s", function, error);
    }
    return 0;
}

}  // namespace

int savePreset(lua_State* L) { return presetCall(L, &UserPresets::save, "savePreset"); }

int loadPreset(lua_State* L) { return presetCall(L, &UserPresets::load, "loadPreset"); }

}  // namespace QN::script
