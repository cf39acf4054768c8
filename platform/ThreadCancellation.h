#pragma once
// A host may cancel a thread while it is inside the plug-in. The thread is then unwound by
// force, and that unwinding must go on untouched: swallowing it ends the host process.

#include <cxxabi.h>

namespace platform {

// Call only inside a catch (...) handler: rethrows when what was caught is the forced
// unwinding of a cancelled thread, and returns otherwise.
//
// The unwinding carries no C++ exception object, so catching it binds a reference to
// nothing; the sanitizer's null-reference check is off for this one function, which is
// why the idiom lives here and not in the templates that need it (the attribute does not
// reach a template's instances).
__attribute__((no_sanitize("null"))) inline void rethrowIfThreadCancelled()
{
    try {
        throw;
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
    }
}

}  // namespace platform
