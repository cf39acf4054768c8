#pragma once
// Carries parameter changes (id, plain value) from the parameter setter to the OSC
// notify thread. 64 entries; readPos names the entry consumed last, writePos the next
// to fill, so at most 63 changes are pending. Writers come from any thread (host,
// editor, audio-thread scripts, timers, OSC) and are serialised by a short spin lock
// that is held only for the store; the single reader needs no lock.

#include <array>
#include <atomic>
#include <cstdint>

namespace QN {

class SetParamQueue {
public:
    static constexpr int kEntryCount = 64;

    struct Entry {
        std::int32_t index = 0;
        float value = 0.0f;
    };

    // Called on: any thread. False (with the overflow line) when full.
    bool Write(std::int32_t index, float value);
    // Called on: the notify thread. Takes the oldest pending entry; false when empty.
    bool take(Entry& entry);

private:
    std::array<Entry, kEntryCount> entries_{};
    std::atomic<std::int32_t> readPos_{kEntryCount - 1};
    std::atomic<std::int32_t> writePos_{0};
    std::atomic_flag writerLock_ = ATOMIC_FLAG_INIT;
};

}  // namespace QN
