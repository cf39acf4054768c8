#pragma once
// What the marked audio thread did, as counted by AudioThreadProbe.

#include <cstdint>

struct AudioThreadCounts {
    std::uint64_t allocations = 0;
    std::uint64_t frees = 0;
    std::uint64_t locks = 0;              // every pthread_mutex_lock call
    std::uint64_t contendedLocks = 0;     // calls that found the mutex held by another thread
    std::uint64_t hostCallbacks = 0;      // host callbacks, whose own cost is not counted
};
