#pragma once
// The plug-in's scripting helper: indicator flags live in the display block, and the
// spectral-script functions join the scripting interface.

#include "engine/scripting/LuaMIDIHelper.h"
#include "engine/scripting/SpectralScriptList.h"

class HlvdLuaMIDIHelper final : public QN::LuaMIDIHelper {
public:
    // The spectral script list is made here, with the helper whose state holds its
    // functions, so both exist whole before start() runs the scripts.
    HlvdLuaMIDIHelper(QN::PluginServices* plugin, QN::MessageQueue* queue, QN::ScriptOscBridge* oscBridge);
    // Closes the state while the list its functions reach still exists.
    ~HlvdLuaMIDIHelper() override;

    SpectralScriptList& spectralScripts() { return spectralScripts_; }

    void SetGUIBoolValue(int id, bool flag) override;
    bool GetGUIBoolValue(int id) override;
    void RegisterLuaFunctions() override;

private:
    SpectralScriptList spectralScripts_;
};
