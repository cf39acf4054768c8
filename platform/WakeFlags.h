#pragma once
// Wakes one waiting thread with a set of reasons (bit flags), without a lock: raise() is an
// atomic OR and, when the waiter may be asleep, one futex wake-up system call. So the audio
// thread can wake a worker (for example when a MIDI script moves the OSC port) without
// taking a mutex that the worker might hold.
//
// Called on: raise() and take() on any thread; wait() on the one thread that owns the flags.

#include <atomic>
#include <cstdint>

namespace platform {

class WakeFlags {
public:
    WakeFlags() = default;
    WakeFlags(const WakeFlags&) = delete;
    WakeFlags& operator=(const WakeFlags&) = delete;

    // Adds the flags; wakes the waiter if none were raised before. Never allocates, never
    // blocks.
    void raise(std::uint32_t flags) noexcept;

    // Waits until a flag is raised and returns all raised flags, clearing them; returns 0
    // after timeoutMs (< 0: waits for ever).
    std::uint32_t wait(int timeoutMs) noexcept;

    // Returns and clears the raised flags without waiting.
    std::uint32_t take() noexcept { return flags_.exchange(0, std::memory_order_acq_rel); }

private:
    std::atomic<std::uint32_t> flags_{0};
};

}  // namespace platform
