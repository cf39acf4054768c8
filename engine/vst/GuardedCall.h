#pragma once
// No exception may reach a host: every entry of a binding runs its work through guarded,
// which turns an exception into one line on standard error and the safe answer given.
// format names the binding ("VST", "CLAP", "LV2"); entry what the host called.
//
// A host that cancels its thread while it is inside the plug-in unwinds it by force: that
// unwinding passes through untouched (swallowing it ends the host process), which is also
// why guarded, and every entry that calls it, must not be noexcept.

#include "platform/ThreadCancellation.h"

#include <cstdio>
#include <exception>

template <typename Result, typename Call>
Result guarded(const char* format, const char* entry, Result safeAnswer, Call&& call)
{
    try {
        return call();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Lumenfold: %s %s failed: %s\n", format, entry, error.what());
    } catch (...) {
        platform::rethrowIfThreadCancelled();
        std::fprintf(stderr, "Lumenfold: %s %s failed\n", format, entry);
    }
    return safeAnswer;
}
