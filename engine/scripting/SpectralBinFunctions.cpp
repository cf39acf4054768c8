#include "engine/scripting/SpectralBinFunctions.h"

#include "engine/scripting/SpectralScriptList.h"

#include <algorithm>
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

// Bulk functions. Range ends are rounded like single bins; values that are not finite
// numbers make the call do nothing. Every loop is bounded by the frame's bins, whatever
// the range asked for, and reuses the per-bin reads and writes so results match bin by bin.

constexpr double kRangeLimit = 1.0e9;

bool rangeArgument(lua_State* L, int index, long* out)
{
    const double rounded = std::nearbyint(static_cast<double>(lua_tonumber(L, index)));
    if (!(rounded >= -kRangeLimit && rounded <= kRangeLimit)) {
        return false;
    }
    *out = static_cast<long>(rounded);
    return true;
}

// Bins first..last (inclusive) clipped to 0..n; false when nothing is left.
bool clippedRange(lua_State* L, const SpectralFrameContext* frame, int firstIndex, int lastIndex, long* first, long* last)
{
    if (frame == nullptr || !rangeArgument(L, firstIndex, first) || !rangeArgument(L, lastIndex, last)) {
        return false;
    }
    *first = std::max(*first, 0L);
    *last = std::min(*last, static_cast<long>(frame->n));
    return *first <= *last;
}

// Stack: table at index, value pushed and popped. Non-numbers count as 0 like per-bin values.
float tableNumber(lua_State* L, int index, long i)
{
    lua_rawgeti(L, index, static_cast<int>(i));
    const float value = static_cast<float>(lua_tonumber(L, -1));
    lua_pop(L, 1);
    return value;
}

// multiplyBins(first, last, gain): gain is a number, or a table whose element j + 1
// multiplies bin first + j.
int multiplyBins(lua_State* L)
{
    SpectralFrameContext* frame = frameOf(L);
    long requestedFirst = 0, first = 0, last = 0;
    if (!rangeArgument(L, 1, &requestedFirst) || !clippedRange(L, frame, 1, 2, &first, &last)) {
        return 0;
    }
    if (lua_type(L, 3) != LUA_TTABLE) {
        const float gain = valueArgument(L, 3);
        for (long k = first; k <= last; ++k) {
            const Bin bin = readBin(frame, k);
            writeBin(frame, k, {bin.re * gain, bin.im * gain});
        }
        return 0;
    }
    // The curve's values are pushed a few at a time and popped together: a C function may use
    // LUA_MINSTACK slots without growing the stack, which could allocate on the audio thread.
    constexpr long kChunk = LUA_MINSTACK - 4;
    for (long k = first; k <= last; k += kChunk) {
        const long count = std::min(kChunk, last - k + 1);
        for (long j = 0; j < count; ++j) {
            lua_rawgeti(L, 3, static_cast<int>(k + j - requestedFirst + 1));
        }
        for (long j = 0; j < count; ++j) {
            // Non-numbers count as 0, like per-bin values.
            const float factor = static_cast<float>(lua_tonumber(L, static_cast<int>(j - count)));
            const Bin bin = readBin(frame, k + j);
            writeBin(frame, k + j, {bin.re * factor, bin.im * factor});
        }
        lua_pop(L, static_cast<int>(count));
    }
    return 0;
}

// zeroBins(first, last)
int zeroBins(lua_State* L)
{
    SpectralFrameContext* frame = frameOf(L);
    long first = 0, last = 0;
    if (!clippedRange(L, frame, 1, 2, &first, &last)) {
        return 0;
    }
    for (long k = first; k <= last; ++k) {
        writeBin(frame, k, {});
    }
    return 0;
}

// copyBins(from, to, count): as copyBin(from + j, to + j) for every j, in the order that
// reads each source before it is overwritten (overlapping ranges shift cleanly).
int copyBins(lua_State* L)
{
    SpectralFrameContext* frame = frameOf(L);
    long from = 0, to = 0, count = 0;
    if (frame == nullptr || !rangeArgument(L, 1, &from) || !rangeArgument(L, 2, &to) || !rangeArgument(L, 3, &count)) {
        return 0;
    }
    // Only destinations inside 0..n matter.
    const long begin = std::max(0L, -to);
    const long end = std::min(count - 1, static_cast<long>(frame->n) - to);
    if (begin > end) {
        return 0;
    }
    if (to > from) {
        for (long j = end; j >= begin; --j) {
            writeBin(frame, to + j, readBin(frame, from + j));
        }
    } else {
        for (long j = begin; j <= end; ++j) {
            writeBin(frame, to + j, readBin(frame, from + j));
        }
    }
    return 0;
}

// getMagnitudesSqr(out): out[k + 1] = getBinMagnitudeSqr(k) for k = 0..maxBin. Presized
// tables (for example filled once outside the audio path) are written without allocating.
int getMagnitudesSqr(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    const SpectralFrameContext* frame = frameOf(L);
    if (frame == nullptr) {
        return 0;
    }
    for (long k = 0; k <= frame->n; ++k) {
        const Bin bin = readBin(frame, k);
        lua_pushnumber(L, bin.re * bin.re + bin.im * bin.im);
        lua_rawseti(L, 1, static_cast<int>(k + 1));
    }
    return 0;
}

// getBins(re, im): re[k + 1], im[k + 1] = getBin(k) for k = 0..maxBin.
int getBins(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checktype(L, 2, LUA_TTABLE);
    const SpectralFrameContext* frame = frameOf(L);
    if (frame == nullptr) {
        return 0;
    }
    for (long k = 0; k <= frame->n; ++k) {
        const Bin bin = readBin(frame, k);
        lua_pushnumber(L, bin.re);
        lua_rawseti(L, 1, static_cast<int>(k + 1));
        lua_pushnumber(L, bin.im);
        lua_rawseti(L, 2, static_cast<int>(k + 1));
    }
    return 0;
}

// setBins(re, im): setBin(k, re[k + 1], im[k + 1]) for k = 0..maxBin.
int setBins(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checktype(L, 2, LUA_TTABLE);
    SpectralFrameContext* frame = frameOf(L);
    if (frame == nullptr) {
        return 0;
    }
    for (long k = 0; k <= frame->n; ++k) {
        writeBin(frame, k, {tableNumber(L, 1, k + 1), tableNumber(L, 2, k + 1)});
    }
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
    lua_register(L, "multiplyBins", multiplyBins);
    lua_register(L, "zeroBins", zeroBins);
    lua_register(L, "copyBins", copyBins);
    lua_register(L, "getMagnitudesSqr", getMagnitudesSqr);
    lua_register(L, "getBins", getBins);
    lua_register(L, "setBins", setBins);
}
