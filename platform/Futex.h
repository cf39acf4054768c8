#pragma once
// Sleeping on a 32-bit atomic word until another thread changes it. The waker makes no
// lock and no allocation, only one system call, so the audio thread may wake a waiter.
//
// Called on: futexWait on any thread that may sleep; futexWakeAll on any thread.

#include <atomic>
#include <cstdint>

namespace platform {

// Sleeps while the word still holds `expected`, at most timeoutNs (< 0: without a limit);
// returns on a wake-up, a signal, the time-out, or at once when the word differs already.
// Callers re-check their condition in a loop.
void futexWait(std::atomic<std::uint32_t>& word, std::uint32_t expected, long long timeoutNs = -1) noexcept;

// Wakes every thread sleeping on the word.
void futexWakeAll(std::atomic<std::uint32_t>& word) noexcept;

// One spin-wait pause: lets the other hyper-thread run and saves power while a thread
// polls a word for a few microseconds.
void pauseWhileSpinning() noexcept;

}  // namespace platform
