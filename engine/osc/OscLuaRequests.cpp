#include "engine/osc/OscLuaRequests.h"

#include "engine/scripting/LuaCall.h"
#include "engine/scripting/LuaMIDIHelper.h"

#include <cstring>
#include <mutex>

namespace QN {

namespace {

constexpr const char* kNoLua = "no Lua support from OSC";
constexpr const char* kUnhandledArgument = "unhandled argument type to exec";
constexpr const char* kUnhandledResult = "unhandled argument type return from call";
constexpr std::size_t kMaxNameInText = 96;  // leaves the console line room for the reason

// The function's name as a peer sent it, kept to one short line.
void appendPrintableName(std::string& text, const char* name)
{
    const std::size_t length = std::strlen(name);
    for (std::size_t k = 0; k < length && k < kMaxNameInText; ++k) {
        const auto byte = static_cast<unsigned char>(name[k]);
        text.push_back(byte < 0x20 || byte == 0x7f ? '?' : name[k]);
    }
    if (length > kMaxNameInText) {
        text += "...";
    }
}

int pushArguments(lua_State* L, OscLuaRequests::ArgumentIterator it, OscLuaRequests::ArgumentIterator last)
{
    int count = 0;
    for (; it != last; ++it, ++count) {
        luaL_checkstack(L, 1, "too many arguments");
        switch (it->TypeTag()) {
        case 'T': lua_pushboolean(L, 1); break;
        case 'F': lua_pushboolean(L, 0); break;
        case 'N': lua_pushnil(L); break;
        case 'i': lua_pushnumber(L, it->AsInt32Unchecked()); break;
        case 'h': lua_pushnumber(L, static_cast<lua_Number>(it->AsInt64Unchecked())); break;
        case 'f': lua_pushnumber(L, it->AsFloatUnchecked()); break;
        case 'd': lua_pushnumber(L, it->AsDoubleUnchecked()); break;
        default: lua_pushstring(L, it->AsStringUnchecked()); break;  // 's', checked before
        }
    }
    return count;
}

bool appendText(LuaCallResults& results, const char* text, std::size_t length)
{
    if (results.textUsed + length + 1 > LuaCallResults::kTextCapacity) {
        return false;
    }
    std::memcpy(results.text + results.textUsed, text, length);
    results.text[results.textUsed + length] = '\0';
    results.textUsed += length + 1;
    return true;
}

// Reads one result at stack index; false when it ends the list (nil) or is an error.
bool copyResult(lua_State* L, int index, LuaCallResults& results)
{
    LuaCallResults::Value& value = results.values[results.count];
    const int type = lua_type(L, index);
    if (type == LUA_TNIL) {
        return false;
    }
    if (type == LUA_TNUMBER || (type == LUA_TSTRING && lua_isnumber(L, index))) {
        value = {false, static_cast<float>(lua_tonumber(L, index)), 0};
    } else if (type == LUA_TSTRING) {
        std::size_t length = 0;
        const char* text = lua_tolstring(L, index, &length);  // a string: no conversion
        value = {true, 0.0f, results.textUsed};
        if (!appendText(results, text, std::strlen(text) < length ? std::strlen(text) : length)) {
            results.error = "out of buffer memory";
            return false;
        }
    } else {
        results.error = kUnhandledResult;
        return false;
    }
    ++results.count;
    return true;
}

void copyResults(lua_State* L, LuaCallResults& results)
{
    const int first = lua_gettop(L) - LuaCallResults::kMaxResults + 1;
    for (int k = 0; k < LuaCallResults::kMaxResults && copyResult(L, first + k, results); ++k) {
    }
}

}  // namespace

// Everything the protected call needs, as plain data: a Lua error may unwind past it.
struct OscLuaRequests::Request {
    const char* functionName = nullptr;  // a global, or else functionRef
    int functionRef = 0;
    ArgumentIterator first;
    ArgumentIterator last;
    LuaCallResults* results = nullptr;  // null: no results wanted

    // Runs inside the protected call with the request as its one light userdata argument.
    static int body(lua_State* L)
    {
        auto* request = static_cast<Request*>(lua_touserdata(L, 1));
        if (request->functionName != nullptr) {
            lua_getglobal(L, request->functionName);
        } else {
            lua_rawgeti(L, LUA_REGISTRYINDEX, request->functionRef);
        }
        const int count = pushArguments(L, request->first, request->last);
        const int wanted = request->results != nullptr ? LuaCallResults::kMaxResults : 0;
        lua_call(L, count, wanted);
        if (request->results != nullptr) {
            copyResults(L, *request->results);
        }
        return 0;
    }
};

const char* OscLuaRequests::checkArgumentTypes(ArgumentIterator it, ArgumentIterator last)
{
    for (; it != last; ++it) {
        if (std::strchr("TFNihfds", it->TypeTag()) == nullptr) {
            return kUnhandledArgument;
        }
    }
    return nullptr;
}

const char* OscLuaRequests::exec(const char* functionName, ArgumentIterator first, ArgumentIterator last)
{
    Request request{functionName, 0, first, last, nullptr};
    return run(request, "failed to exec function");
}

const char* OscLuaRequests::call(const char* functionName, ArgumentIterator first, ArgumentIterator last,
                                 LuaCallResults& results)
{
    Request request{functionName, 0, first, last, &results};
    if (const char* error = run(request, "failed to exec function")) {
        return error;
    }
    return results.error;
}

const char* OscLuaRequests::callRegistered(int functionRef, ArgumentIterator first, ArgumentIterator last)
{
    Request request{nullptr, functionRef, first, last, nullptr};
    return run(request, "failed to pcall function");
}

const char* OscLuaRequests::run(Request& request, const char* failureText)
{
    if (lua_ == nullptr) {
        return kNoLua;
    }
    if (const char* error = checkArgumentTypes(request.first, request.last)) {
        return error;
    }
    std::lock_guard<QN::ScriptStateGate> lock(lua_->luaLock());
    lua_State* L = lua_->GetLuaState();
    if (L == nullptr) {
        return kNoLua;
    }
    if (lua_->stopRequested()) {
        return failed(request, failureText, "the instance is closing");
    }
    // lua_cpcall makes the function's closure inside the protection, so even a state at
    // its memory ceiling fails this one request and stays usable.
    LuaWatchdog::Entry entry(lua_->watchdog(), L);
    LuaCallResult result;
    if (protectedCCall(L, &Request::body, &request, LuaErrorPolicy::KeepMessage, &result)) {
        return nullptr;
    }
    const char* text = failed(request, failureText, result.message);
    lua_->console().postError(request.functionName != nullptr ? request.functionName : "OSC address", text);
    return text;
}

// "failed to exec function "name": reason", or for an address's function without its name.
const char* OscLuaRequests::failed(const Request& request, const char* failureText, const char* reason)
{
    failure_ = failureText;
    if (request.functionName != nullptr) {
        failure_ += " \"";
        appendPrintableName(failure_, request.functionName);
        failure_ += '"';
    }
    failure_ += ": ";
    failure_ += reason;
    return failure_.c_str();
}

}  // namespace QN
