#include "engine/instance/HlvdLuaMIDIHelper.h"

#include "engine/scripting/SpectralScriptList.h"
#include "engine/scripting/PluginServices.h"

HlvdLuaMIDIHelper::HlvdLuaMIDIHelper(QN::PluginServices* plugin, QN::MessageQueue* queue,
                                     QN::ScriptOscBridge* oscBridge)
    : LuaMIDIHelper(plugin, queue, oscBridge), spectralScripts_(*this, *plugin)
{
}

HlvdLuaMIDIHelper::~HlvdLuaMIDIHelper()
{
    requestStop();
    stopTimers();
    closeState();
}

void HlvdLuaMIDIHelper::SetGUIBoolValue(int id, bool flag) { plugin()->setIndicator(id, flag); }

bool HlvdLuaMIDIHelper::GetGUIBoolValue(int id) { return plugin()->indicator(id); }

void HlvdLuaMIDIHelper::RegisterLuaFunctions()
{
    spectralScripts_.registerLuaFunctions(luaState());
}
