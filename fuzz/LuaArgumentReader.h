#pragma once
// Reads fuzz input bytes as Lua values: nil, booleans, small and raw numbers, the odd
// numbers (NaN, infinities, the edges of 32-bit integers), strings, parameter names,
// tables, functions (one that does nothing, one that raises an error) and userdata.
// Past the end of the input every byte reads as zero.

#include "engine/model/ParameterTable.h"
#include "engine/scripting/LuaHeaders.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

class LuaArgumentReader {
public:
    LuaArgumentReader(const std::uint8_t* data, std::size_t size, lua_State* L) : data_(data), size_(size)
    {
        luaL_loadstring(L, "return function(...) end, function() error('raised by a fuzzed callback') end");
        lua_call(L, 0, 2);
        raisingRef_ = luaL_ref(L, LUA_REGISTRYINDEX);
        quietRef_ = luaL_ref(L, LUA_REGISTRYINDEX);
    }

    bool empty() const { return position_ >= size_; }
    std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }

    void pushArgument(lua_State* L)
    {
        switch (byte() % 10) {
        case 0: lua_pushnil(L); break;
        case 1: lua_pushboolean(L, byte() & 1); break;
        case 2: lua_pushnumber(L, static_cast<std::int8_t>(byte())); break;
        case 3: lua_pushnumber(L, rawNumber()); break;
        case 4: lua_pushnumber(L, oddNumber()); break;
        case 5: pushString(L); break;
        case 6: lua_pushstring(L, parameterInfo(((byte() << 8) | byte()) % kParameterCount).name); break;
        case 7: lua_newtable(L); break;
        case 8: lua_rawgeti(L, LUA_REGISTRYINDEX, (byte() & 1) ? raisingRef_ : quietRef_); break;
        default: lua_newuserdata(L, 8); break;
        }
    }

private:
    double rawNumber()
    {
        std::uint8_t bytes[8];
        for (std::uint8_t& b : bytes) {
            b = byte();
        }
        double value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    double oddNumber()
    {
        constexpr double kOdd[] = {std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity(),
                                   -0.0,
                                   1.0e308,
                                   2147483648.0,
                                   -2147483649.0,
                                   0.5,
                                   4.9e-324,
                                   4097.0};
        return kOdd[byte() % (sizeof kOdd / sizeof kOdd[0])];
    }

    void pushString(lua_State* L)
    {
        std::size_t length = byte() % 64;
        if (length > size_ - position_ || empty()) {
            length = empty() ? 0 : size_ - position_;
        }
        lua_pushlstring(L, reinterpret_cast<const char*>(data_ + position_), length);
        position_ += length;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    int quietRef_ = 0;
    int raisingRef_ = 0;
};
