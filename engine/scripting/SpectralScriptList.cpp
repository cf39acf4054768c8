#include "engine/scripting/SpectralScriptList.h"

#include "engine/scripting/SpectralBinFunctions.h"
#include "engine/model/ParameterTable.h"
#include "engine/scripting/LuaCall.h"
#include "engine/scripting/LuaMIDIHelper.h"
#include "engine/scripting/PluginServices.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

const char kSpectralListKey[] = "QN::SpectralScriptList";
constexpr int kFrameTableFields = 7;

struct FrameCall {
    SpectralScriptList* list;
    int functionRef;
    int n;
    int overlap;
};

// A "Scripted" parameter as the frame table hands it to scripts: within its row's range.
// Stored values are kept as they came (a state chunk may hold anything), and scripts
// loop over ranges made from them, so a value far outside would stall the audio thread.
float scriptParameter(QN::PluginServices& plugin, int id)
{
    const ParameterInfo row = parameterInfo(id);
    const float value = plugin.parameterValue(id);
    return std::isnan(value) ? row.defaultValue : std::clamp(value, row.minValue, row.maxValue);
}

}  // namespace

// Runs in protected mode: the frame table is made inside the protection, so a script
// state at its memory ceiling fails this frame instead of the whole interpreter.
int SpectralScriptList::callForFrame(lua_State* L)
{
    const auto* call = static_cast<const FrameCall*>(lua_touserdata(L, 1));
    lua_rawgeti(L, LUA_REGISTRYINDEX, call->functionRef);
    call->list->pushFrameTable(L, call->n, call->overlap);
    lua_call(L, 1, 0);
    return 0;
}

SpectralScriptList::SpectralScriptList(QN::LuaMIDIHelper& helper, QN::PluginServices& plugin)
    : helper_(helper), plugin_(plugin)
{
}

void SpectralScriptList::registerLuaFunctions(lua_State* L)
{
    lua_pushlightuserdata(L, const_cast<char*>(kSpectralListKey));
    lua_pushlightuserdata(L, this);
    lua_rawset(L, LUA_REGISTRYINDEX);
    registerSpectralBinFunctions(L);
    // The frame table is made once per state and refilled every frame: its seven fields
    // then exist, so filling it allocates nothing on the audio thread.
    lua_createtable(L, 0, kFrameTableFields);
    frameTableRef_ = luaL_ref(L, LUA_REGISTRYINDEX);
}

SpectralScriptList* SpectralScriptList::fromState(lua_State* L)
{
    lua_pushlightuserdata(L, const_cast<char*>(kSpectralListKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto* list = static_cast<SpectralScriptList*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return list;
}

bool SpectralScriptList::append(const char* name, int functionRef)
{
    try {
        entries_.push_back({name, functionRef});
        return true;
    } catch (...) {
        return false;
    }
}

std::vector<std::string> SpectralScriptList::completeAfterStartup()
{
    std::lock_guard<QN::ScriptStateGate> lock(helper_.luaLock());
    std::vector<std::string> names;
    if (entries_.empty()) {
        return names;
    }
    entries_.insert(entries_.begin(), SpectralScriptEntry{"Off", 0});
    for (const auto& entry : entries_) {
        names.push_back(entry.name);
    }
    return names;
}

void SpectralScriptList::pushFrameTable(lua_State* L, int n, int overlap)
{
    // t = { param1 = ..., param2 = ..., param3 = ..., param4 = ..., maxBin = n,
    // hop = 2n / overlap, overlap = overlap }, the same table every frame (a fresh one if the
    // state never got it).
    lua_rawgeti(L, LUA_REGISTRYINDEX, frameTableRef_);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_createtable(L, 0, kFrameTableFields);
    }
    const char* const names[] = {"param1", "param2", "param3", "param4"};
    for (int k = 0; k < 4; ++k) {
        lua_pushnumber(L, scriptParameter(plugin_, ParameterId::Scripted1 + k));
        lua_setfield(L, -2, names[k]);
    }
    lua_pushnumber(L, n);
    lua_setfield(L, -2, "maxBin");
    lua_pushnumber(L, 2 * n / overlap);
    lua_setfield(L, -2, "hop");
    lua_pushnumber(L, overlap);
    lua_setfield(L, -2, "overlap");
}

void SpectralScriptList::runSpectralScript(int scriptIndex, float* spectrum, int fftSize, int overlap)
{
    if (scriptIndex <= 0) {
        return;
    }
    // The audio thread does not wait for a script running elsewhere: the frame then goes on
    // as if no script were selected.
    if (!helper_.holdForAudio()) {
        helper_.noteSkippedFrame();
        return;
    }
    if (static_cast<std::size_t>(scriptIndex) >= entries_.size()) {
        return;
    }
    const int ref = entries_[static_cast<std::size_t>(scriptIndex)].functionRef;
    lua_State* L = helper_.stateForCaller();
    if (ref == 0 || L == nullptr || helper_.stopRequested()) {
        return;
    }
    frame_ = SpectralFrameContext{spectrum, fftSize / 2};
    // Only the kernel calls this, with 2, 4 or 8; anything else counts as 2.
    FrameCall call{this, ref, fftSize / 2, overlap == 4 || overlap == 8 ? overlap : 2};
    const std::size_t usedBefore = helper_.memoryUsed();
    {
        QN::LuaWatchdog::Entry entry(helper_.watchdog(), L);
        QN::LuaCallResult result;
        framesRun_.fetch_add(1, std::memory_order_relaxed);
        if (!QN::protectedCCall(L, callForFrame, &call, QN::LuaErrorPolicy::KeepMessage, &result)) {
            framesFailed_.fetch_add(1, std::memory_order_relaxed);
            helper_.console().postError("spectral script", result.message);
        }
    }
    frame_ = SpectralFrameContext{};
    helper_.collectAfterAudioRun(usedBefore);
}
