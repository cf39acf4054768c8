#pragma once
// No exception may reach a host: every entry of a binding runs its work through guarded,
// which turns an exception into one line on standard error and the safe answer given.
// format names the binding ("VST", "CLAP", "LV2"); entry what the host called.

#include <cstdio>
#include <exception>

template <typename Result, typename Call>
Result guarded(const char* format, const char* entry, Result safeAnswer, Call&& call) noexcept
{
    try {
        return call();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Lumenfold: %s %s failed: %s\n", format, entry, error.what());
    } catch (...) {
        std::fprintf(stderr, "Lumenfold: %s %s failed\n", format, entry);
    }
    return safeAnswer;
}
