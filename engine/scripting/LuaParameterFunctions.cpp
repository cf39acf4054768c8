// Parameter access, indicators and the clock for scripts.

#include "engine/model/BinFrequency.h"
#include "engine/model/ParameterTable.h"
#include "engine/scripting/LiveInstances.h"
#include "engine/scripting/LuaMIDIHelper.h"
#include "engine/scripting/LuaScriptFunctions.h"
#include "engine/scripting/PluginServices.h"

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <climits>
#include <cmath>

namespace QN::script {

namespace {

constexpr int kIndicatorCount = 8;

LuaMIDIHelper& helperOf(lua_State* L)
{
    LuaMIDIHelper* helper = LuaMIDIHelper::fromState(L);
    if (helper == nullptr) {
        luaL_error(L, "the scripting interface is not attached to this state");
    }
    return *helper;
}

int roundedToInt(lua_Number value)
{
    const double rounded = std::floor(static_cast<double>(value) + 0.5);
    if (std::isnan(rounded) || rounded < static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return rounded > static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(rounded);
}

int indicatorArgument(lua_State* L, int index)
{
    const lua_Integer id = luaL_checkinteger(L, index);
    if (id < 0 || id >= kIndicatorCount) {
        luaL_error(L, "indicator id out of range: %d", static_cast<int>(id));
    }
    return static_cast<int>(id);
}

// The "instance" of the Others functions: a number, a numeric string, or else 0.
double instanceArgument(lua_State* L, int index) { return static_cast<double>(lua_tonumber(L, index)); }

// Checked before any instance is touched, so that a refused value changes nothing.
float plainValueArgument(lua_State* L, int index)
{
    const lua_Number value = luaL_checknumber(L, index);
    if (!std::isfinite(value)) {
        luaL_error(L, "parameter value is not a finite number");
    }
    // Finite beyond float's range still clamps like any other out-of-range value.
    return static_cast<float>(std::clamp<lua_Number>(value, -FLT_MAX, FLT_MAX));
}

// Where this instance's bins sit now: its "FFT Size" and the host's sample rate.
BinFrequency binFrequencyOf(lua_State* L, PluginServices& plugin)
{
    const std::optional<BinFrequency> bins =
        BinFrequency::forStoredFftSize(plugin.parameterValue(ParameterId::FftSize), plugin.sampleRate());
    if (!bins) {
        luaL_error(L, "the sample rate is not known yet");
    }
    return *bins;
}

// Raises the one error line of a range the bins do not cover.
void checkFrequencies(lua_State* L, const BinFrequency& bins, double loHz, double hiHz)
{
    if (bins.rangeProblem(loHz, hiHz) != nullptr) {
        char text[256];
        bins.describeRangeProblem(loHz, hiHz, text, sizeof text);
        luaL_error(L, "%s", text);
    }
}

const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();

}  // namespace

int parameterArgument(lua_State* L, int index, bool checkRange)
{
    if (lua_type(L, index) == LUA_TNUMBER) {
        const int id = roundedToInt(lua_tonumber(L, index));
        if (checkRange && !isValidParameterId(id)) {
            luaL_error(L, "parameter out of range: %d", id);
        }
        return id;
    }
    const char* name = luaL_checkstring(L, index);
    const int id = LuaMIDIHelper::lookupParameterName(L, name);
    if (id < 0) {
        luaL_error(L, "parameter not found: '%s'", name);
    }
    return id;
}

int setParameter(lua_State* L)
{
    const int id = parameterArgument(L, 1);
    const float plain = plainValueArgument(L, 2);
    helperOf(L).plugin()->setPlainParameter(id, plain);
    return 0;
}

int getParameter(lua_State* L)
{
    const int id = parameterArgument(L, 1);
    lua_pushnumber(L, helperOf(L).plugin()->parameterValue(id));
    return 1;
}

int getParameterID(lua_State* L)
{
    if (lua_type(L, 1) != LUA_TNUMBER) {
        const char* name = luaL_checkstring(L, 1);
        const int id = LuaMIDIHelper::lookupParameterName(L, name);
        if (id < 0) {
            return luaL_error(L, "parameter not found: '%s'", name);
        }
        lua_pushnumber(L, id);
        return 1;
    }
    lua_pushnumber(L, parameterArgument(L, 1, false));
    return 1;
}

int getParameterMinMax(lua_State* L)
{
    const ParameterInfo row = helperOf(L).plugin()->parameterRow(parameterArgument(L, 1));
    lua_pushnumber(L, row.minValue);
    lua_pushnumber(L, row.maxValue);
    return 2;
}

int getParameterUnit(lua_State* L)
{
    lua_pushnumber(L, static_cast<lua_Number>(parameterInfo(parameterArgument(L, 1)).unit));
    return 1;
}

int getParameterName(lua_State* L)
{
    lua_pushstring(L, parameterInfo(parameterArgument(L, 1)).name);
    return 1;
}

int isParameterUsed(lua_State* L)
{
    const int id = parameterArgument(L, 1);
    lua_pushboolean(L, helperOf(L).IsParameterUsed(id));
    return 1;
}

int getNumParameters(lua_State* L)
{
    lua_pushnumber(L, kParameterCount);
    return 1;
}

int setOthersParameter(lua_State* L)
{
    const double instance = instanceArgument(L, 1);
    const int id = parameterArgument(L, 2);
    const float plain = plainValueArgument(L, 3);
    auto setOn = [&](LuaMIDIHelper& other) {
        other.plugin()->setPlainParameter(id, plain);
        return true;
    };
    LiveInstances::forEachWithOffset(instance, setOn);
    return 0;
}

int getOthersParameter(lua_State* L)
{
    const double instance = instanceArgument(L, 1);
    const int id = parameterArgument(L, 2);
    float value = 0.0f;
    auto readFirst = [&](LuaMIDIHelper& other) {
        value = other.plugin()->parameterValue(id);
        return false;
    };
    LiveInstances::forEachWithOffset(instance, readFirst);
    lua_pushnumber(L, value);
    return 1;
}

int setBinLevelsHz(lua_State* L)
{
    const double loHz = static_cast<double>(luaL_checknumber(L, 1));
    const double hiHz = static_cast<double>(luaL_checknumber(L, 2));
    const float plain = plainValueArgument(L, 3);
    PluginServices& plugin = *helperOf(L).plugin();
    const BinFrequency bins = binFrequencyOf(L, plugin);
    checkFrequencies(L, bins, loHz, hiHz);
    const BinRange range = *bins.binsIn(loHz, hiHz);
    for (int bin = range.first; bin <= range.last; ++bin) {
        plugin.setPlainParameter(kBinLevelBase + bin, plain);
    }
    lua_pushnumber(L, range.first);
    lua_pushnumber(L, range.last);
    return 2;
}

int getBinForHz(lua_State* L)
{
    const double hz = static_cast<double>(luaL_checknumber(L, 1));
    const BinFrequency bins = binFrequencyOf(L, *helperOf(L).plugin());
    checkFrequencies(L, bins, hz, hz);
    lua_pushnumber(L, *bins.nearestBin(hz));
    return 1;
}

int time(lua_State* L)
{
    const auto elapsed = std::chrono::steady_clock::now() - processStart;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    lua_pushnumber(L, static_cast<lua_Number>(ms) * 0.001);
    return 1;
}

int setGUIBoolValue(lua_State* L)
{
    const int id = indicatorArgument(L, 1);
    helperOf(L).SetGUIBoolValue(id, lua_toboolean(L, 2) != 0);
    return 0;
}

int getGUIBoolValue(lua_State* L)
{
    const int id = indicatorArgument(L, 1);
    lua_pushboolean(L, helperOf(L).GetGUIBoolValue(id));
    return 1;
}

int setOthersGUIBoolValue(lua_State* L)
{
    const double instance = instanceArgument(L, 1);
    const int id = indicatorArgument(L, 2);
    const bool flag = lua_toboolean(L, 3) != 0;
    auto setOn = [&](LuaMIDIHelper& other) {
        other.SetGUIBoolValue(id, flag);
        return true;
    };
    LiveInstances::forEachWithOffset(instance, setOn);
    return 0;
}

int getOthersGUIBoolValue(lua_State* L)
{
    const double instance = instanceArgument(L, 1);
    const int id = indicatorArgument(L, 2);
    bool flag = false;
    auto readFirst = [&](LuaMIDIHelper& other) {
        flag = other.GetGUIBoolValue(id);
        return false;
    };
    LiveInstances::forEachWithOffset(instance, readFirst);
    lua_pushboolean(L, flag);
    return 1;
}

}  // namespace QN::script
