#include "dsp/SpectralBinFunctions.h"

#include "dsp/SpectralScriptList.h"

#include <cmath>

namespace {

struct Bin {
    float re = 0.0f;
    float im = 0.0f;
};

// The frame of the running spectral script, or null when none runs (for example when a
// MIDI script calls a bin function): reads then give zeros and writes do nothing.
SpectralFrameContext* frameOf(lua_State* L)
{
    SpectralScriptList* list = SpectralScriptList::fromState(L);
    return list ? list->currentFrame() : nullptr;
}

float valueArgument(lua_State* L, int index) { return static_cast<float>(lua_tonumber(L, index)); }

// -1 for anything that cannot be a bin (NaN, huge values).
long binArgument(lua_State* L, int index)
{
    const double rounded = std::nearbyint(static_cast<double>(lua_tonumber(L, index)));
    if (!(rounded >= -1.0 && rounded <= 1.0e9)) {
        return -1;
    }
    return static_cast<long>(rounded);
}

bool inRange(const SpectralFrameContext* frame, long k) { return frame != nullptr && k >= 0 && k <= frame->n; }
bool isReal(const SpectralFrameContext* frame, long k) { return k == 0 || k == frame->n; }

Bin readBin(const SpectralFrameContext* frame, long k)
{
    if (!inRange(frame, k)) {
        return {};
    }
    if (isReal(frame, k)) {
        return {frame->spectrum[k], 0.0f};
    }
    return {frame->spectrum[k], frame->spectrum[frame->n + k]};
}

void writeBin(SpectralFrameContext* frame, long k, Bin bin)
{
    if (!inRange(frame, k)) {
        return;
    }
    frame->spectrum[k] = bin.re;
    if (!isReal(frame, k)) {
        frame->spectrum[frame->n + k] = bin.im;
    }
}

int addSpectralScript(lua_State* L)
{
    if (lua_type(L, 1) != LUA_TSTRING && lua_type(L, 1) != LUA_TNUMBER) {
        luaL_checkstring(L, 1);  // raises the standard "string expected" error
    }
    const char* name = lua_tostring(L, 1);
    if (!lua_isfunction(L, 2)) {
        return luaL_error(L, "second argument to addSpectralScript() is not a function");
    }
    SpectralScriptList* list = SpectralScriptList::fromState(L);
    lua_pushvalue(L, 2);
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    if (list == nullptr || !list->append(name, ref)) {
        return luaL_error(L, "not enough memory");
    }
    return 0;
}

int getBin(lua_State* L)
{
    const Bin bin = readBin(frameOf(L), binArgument(L, 1));
    lua_pushnumber(L, bin.re);
    lua_pushnumber(L, bin.im);
    return 2;
}

int setBin(lua_State* L)
{
    writeBin(frameOf(L), binArgument(L, 1), {valueArgument(L, 2), valueArgument(L, 3)});
    return 0;
}

int getBinMagnitudeSqr(lua_State* L)
{
    const Bin bin = readBin(frameOf(L), binArgument(L, 1));
    lua_pushnumber(L, bin.re * bin.re + bin.im * bin.im);
    return 1;
}

int zeroBin(lua_State* L)
{
    writeBin(frameOf(L), binArgument(L, 1), {});
    return 0;
}

int copyBin(lua_State* L)
{
    SpectralFrameContext* frame = frameOf(L);
    writeBin(frame, binArgument(L, 2), readBin(frame, binArgument(L, 1)));
    return 0;
}

int multiplyBin(lua_State* L)
{
    SpectralFrameContext* frame = frameOf(L);
    const long k = binArgument(L, 1);
    const float factor = valueArgument(L, 2);
    const Bin bin = readBin(frame, k);
    writeBin(frame, k, {bin.re * factor, bin.im * factor});
    return 0;
}

int swapBins(lua_State* L)
{
    SpectralFrameContext* frame = frameOf(L);
    const long a = binArgument(L, 1);
    const long b = binArgument(L, 2);
    const Bin binA = readBin(frame, a);
    const Bin binB = readBin(frame, b);
    writeBin(frame, a, binB);
    writeBin(frame, b, binA);
    return 0;
}

}  // namespace

void registerSpectralBinFunctions(lua_State* L)
{
    lua_register(L, "addSpectralScript", addSpectralScript);
    lua_register(L, "copyBin", copyBin);
    lua_register(L, "multiplyBin", multiplyBin);
    lua_register(L, "swapBins", swapBins);
    lua_register(L, "getBin", getBin);
    lua_register(L, "setBin", setBin);
    lua_register(L, "getBinMagnitudeSqr", getBinMagnitudeSqr);
    lua_register(L, "zeroBin", zeroBin);
}
