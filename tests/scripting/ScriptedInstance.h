#pragma once
// A scripting helper on a fake plug-in, with the user's script folder pointed at a
// fresh temporary folder, for tests below the host binding.

#include "engine/scripting/SpectralScriptList.h"
#include "engine/scripting/LuaMIDIHelper.h"
#include "support/FakePlugin.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class TestScriptHelper final : public QN::LuaMIDIHelper {
public:
    TestScriptHelper(FakePlugin& plugin, QN::MessageQueue& queue)
        : LuaMIDIHelper(&plugin, &queue), spectral_(*this, plugin)
    {
    }
    void SetGUIBoolValue(int id, bool flag) override { plugin()->setIndicator(id, flag); }
    bool GetGUIBoolValue(int id) override { return plugin()->indicator(id); }
    void RegisterLuaFunctions() override { spectral_.registerLuaFunctions(luaState()); }
    SpectralScriptList& spectral() { return spectral_; }

private:
    SpectralScriptList spectral_;
};

// Owns the folders, the fake plug-in and the helper. Scripts written with addScript
// before state() run at start-up.
class ScriptedInstance {
public:
    ScriptedInstance()
        : dataHome_("XDG_DATA_HOME", folder_.path()), configHome_("XDG_CONFIG_HOME", folder_ / "config"),
          helper_(plugin, queue_)
    {
        std::filesystem::create_directories(scriptsFolder());
    }

    std::string scriptsFolder() const { return folder_ / "Corvanne/Lumenfold/Scripts"; }
    void addScript(const std::string& name, const std::string& text)
    {
        std::ofstream(scriptsFolder() + "/" + name) << text;
    }
    lua_State* state() { return helper_.GetLuaState(); }
    TestScriptHelper& helper() { return helper_; }
    // Runs one spectral frame as the audio thread does: inside a block, which then ends.
    void runFrame(int scriptIndex, float* bins, int fftSize, int overlap = 2)
    {
        helper_.spectral().runSpectralScript(scriptIndex, bins, fftSize, overlap);
        helper_.endAudioBlock();
    }

    // Runs a chunk under the Lua lock; returns the error text, empty on success.
    std::string run(const std::string& code)
    {
        lua_State* L = state();
        std::lock_guard<QN::ScriptStateGate> lock(helper_.luaLock());
        if (luaL_loadstring(L, code.c_str()) != 0) {
            std::string error = lua_tostring(L, -1);
            lua_pop(L, 1);
            return error;
        }
        if (lua_pcall(L, 0, 0, 0) != 0) {
            std::string error = lua_tostring(L, -1);
            lua_pop(L, 1);
            return error;
        }
        return {};
    }

    double number(const std::string& global)
    {
        lua_State* L = state();
        lua_getglobal(L, global.c_str());
        const double value = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return value;
    }

    // Every console line written so far (print and script errors), one per line.
    std::string consoleText()
    {
        helper_.console().flush();
        std::string text;
        for (const auto& line : helper_.console().history()) {
            text += line.text + "\n";
        }
        return text;
    }

    FakePlugin plugin;

private:
    TemporaryFolder folder_;
    ScopedEnvironmentVariable dataHome_;
    ScopedEnvironmentVariable configHome_;
    QN::MessageQueue queue_;
    TestScriptHelper helper_;
};
