#pragma once
// Calls into the instance's Lua state on behalf of OSC requests: "/exec" and "/call" of
// global functions and the functions scripts bound to addresses. Every call holds the Lua
// lock from looking the function up until its results are copied, runs as one protected
// call (so metamethods and argument pushing cannot escape it) and leaves the stack as it
// found it. Called on: OSC thread.

#include "engine/osc/LuaCallResults.h"

#include <oscpack/osc/OscReceivedElements.h>

#include <string>

namespace QN {

class LuaMIDIHelper;

class OscLuaRequests {
public:
    using ArgumentIterator = osc::ReceivedMessageArgumentIterator;

    explicit OscLuaRequests(LuaMIDIHelper* lua) : lua_(lua) {}

    // Each returns null on success, or the error text of the request; a failed call's
    // text names the function and Lua's reason, and stays valid until the next request.
    const char* exec(const char* functionName, ArgumentIterator first, ArgumentIterator last);
    const char* call(const char* functionName, ArgumentIterator first, ArgumentIterator last,
                     LuaCallResults& results);
    const char* callRegistered(int functionRef, ArgumentIterator first, ArgumentIterator last);

    // Null when every argument has a type a Lua call accepts (T F N i h f d s).
    static const char* checkArgumentTypes(ArgumentIterator first, ArgumentIterator last);

private:
    struct Request;
    const char* run(Request& request, const char* failureText);
    const char* failed(const Request& request, const char* failureText, const char* reason);

    LuaMIDIHelper* lua_;
    std::string failure_;
};

}  // namespace QN
