#include "engine/scripting/OscMessageSender.h"

#include "engine/net/OscOutbox.h"
#include "engine/net/OscUrl.h"

#include <oscpack/osc/OscOutboundPacketStream.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace QN {

namespace {

constexpr std::size_t kBufferSize = 1024;

// What the Lua arguments say, read before any C++ object exists (reading may raise).
struct SendRequest {
    const char* url = nullptr;
    const char* path = nullptr;
    const char* format = nullptr;  // null: no format string
    int table = 0;                 // stack index of the argument table; 0: none
};

SendRequest readArguments(lua_State* L)
{
    SendRequest request;
    request.url = luaL_checkstring(L, 1);
    request.path = luaL_checkstring(L, 2);
    const int count = lua_gettop(L);
    if (count == 3) {
        luaL_checktype(L, 3, LUA_TTABLE);
        request.table = 3;
    } else if (count == 4) {
        request.format = luaL_checkstring(L, 3);
        luaL_checktype(L, 4, LUA_TTABLE);
        request.table = 4;
    }
    return request;
}

// Nearest integer, held within the int32 range (NaN gives 0).
osc::int32 roundedInt32(double value)
{
    const double rounded = std::floor(value + 0.5);
    if (!(rounded == rounded)) {
        return 0;
    }
    return static_cast<osc::int32>(std::fmax(-2147483648.0, std::fmin(rounded, 2147483647.0)));
}

// Adds table element k (1-based); a fixed error text when its type cannot be sent.
// Stack balanced: the element is pushed, read and popped.
const char* appendElement(lua_State* L, const SendRequest& request, int k, osc::OutboundPacketStream& packet)
{
    lua_rawgeti(L, request.table, k);
    const int type = lua_type(L, -1);
    const char* error = nullptr;
    if (type == LUA_TNIL) {
        packet << osc::OscNil;
    } else if (type == LUA_TNUMBER || (type == LUA_TSTRING && lua_isnumber(L, -1))) {
        const double value = lua_tonumber(L, -1);
        if (request.format != nullptr && request.format[k - 1] == 'i') {
            packet << roundedInt32(value);
        } else {
            packet << static_cast<float>(value);
        }
    } else if (type == LUA_TSTRING) {
        packet << lua_tostring(L, -1);
    } else {
        error = "unhandled argument type return from call";
    }
    lua_pop(L, 1);
    return error;
}

// Builds the message into buffer; null or a fixed error text. No Lua error can be raised
// here (only raw reads of the table), and oscpack's exceptions stay inside.
const char* buildMessage(lua_State* L, const SendRequest& request, char* buffer, std::size_t* size)
{
    try {
        osc::OutboundPacketStream packet(buffer, kBufferSize);
        packet << osc::BeginMessage(request.path);
        const int count = request.table != 0 ? static_cast<int>(lua_objlen(L, request.table)) : 0;
        if (request.format != nullptr && std::strlen(request.format) != static_cast<std::size_t>(count)) {
            return "format string length mismatch in sendOSC";
        }
        for (int k = 1; k <= count; ++k) {
            if (const char* error = appendElement(L, request, k, packet)) {
                return error;
            }
        }
        packet << osc::EndMessage;
        *size = packet.Size();
        return nullptr;
    } catch (const osc::Exception& error) {
        return "out of buffer memory";
    } catch (...) {
        return "not enough memory";
    }
}

// Copies the message into the outbox: no allocation, no lookup, no socket here.
const char* queue(const char* url, const char* data, std::size_t size)
{
    std::string_view host;
    int port = 0;
    if (const char* error = OscUrl::split(url, &host, &port)) {
        return error;
    }
    switch (OscOutbox::shared().post(host, port, data, size)) {
    case OscOutbox::PostResult::Queued: return nullptr;
    case OscOutbox::PostResult::HostTooLong: return "host name too long";
    case OscOutbox::PostResult::MessageTooLarge: return "out of buffer memory";
    case OscOutbox::PostResult::QueueFull: return "too many OSC messages queued";
    }
    return nullptr;
}

}  // namespace

int sendOscFromScript(lua_State* L)
{
    const SendRequest request = readArguments(L);
    char buffer[kBufferSize];
    std::size_t size = 0;
    const char* error = buildMessage(L, request, buffer, &size);
    if (error == nullptr) {
        error = queue(request.url, buffer, size);
    }
    if (error != nullptr) {
        return luaL_error(L, "%s", error);
    }
    return 0;
}

}  // namespace QN
