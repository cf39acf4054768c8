#pragma once
// The plug-in's scripting helper: indicator flags live in the display block, and the
// spectral-script functions join the scripting interface.

#include "scripting/LuaMIDIHelper.h"

class SpectralScriptList;

class HlvdLuaMIDIHelper final : public QN::LuaMIDIHelper {
public:
    HlvdLuaMIDIHelper(QN::PluginServices* plugin, QN::MessageQueue* queue);
    // Set before the state is created.
    void setSpectralScripts(SpectralScriptList* spectralScripts) { spectralScripts_ = spectralScripts; }

    void SetGUIBoolValue(int id, bool flag) override;
    bool GetGUIBoolValue(int id) override;
    void RegisterLuaFunctions() override;

private:
    SpectralScriptList* spectralScripts_ = nullptr;
};
