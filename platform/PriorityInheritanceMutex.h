#pragma once

#include <cstddef>

namespace platform {

// A recursive mutex with priority inheritance: when the audio thread waits for
// it, the thread that holds it runs at the audio thread's priority until it
// lets go, so a low-priority timer or OSC thread inside Lua cannot stall audio
// behind unrelated work. Recursive because Lua calls back into the plug-in,
// which takes the same lock again on the same thread.
//
// Satisfies Lockable, so std::lock_guard and std::unique_lock work with it.
// Called on: any thread, the audio thread included (never allocates).
class PriorityInheritanceMutex {
public:
    PriorityInheritanceMutex();
    ~PriorityInheritanceMutex();
    PriorityInheritanceMutex(const PriorityInheritanceMutex&) = delete;
    PriorityInheritanceMutex& operator=(const PriorityInheritanceMutex&) = delete;

    void lock();
    void unlock();
    bool try_lock();

private:
    // Room for the system's mutex object, kept opaque so that no system header
    // leaks out of the platform layer; the implementation checks the size.
    alignas(alignof(std::max_align_t)) unsigned char storage_[64];
};

}  // namespace platform
