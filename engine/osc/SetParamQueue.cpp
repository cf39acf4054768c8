#include "engine/osc/SetParamQueue.h"

#include <cstdio>

namespace QN {

bool SetParamQueue::Write(std::int32_t index, float value)
{
    while (writerLock_.test_and_set(std::memory_order_acquire)) {
        writerLock_.wait(true, std::memory_order_relaxed);
    }
    const std::int32_t write = writePos_.load(std::memory_order_relaxed);
    const bool full = write == readPos_.load(std::memory_order_acquire);
    if (!full) {
        entries_[static_cast<std::size_t>(write)] = Entry{index, value};
        writePos_.store((write + 1) % kEntryCount, std::memory_order_release);
    }
    writerLock_.clear(std::memory_order_release);
    writerLock_.notify_one();
    if (full) {
        std::fputs("OSCHelper::SetParamQueue::Write() overflow\n", stderr);
    }
    return !full;
}

bool SetParamQueue::take(Entry& entry)
{
    const std::int32_t next = (readPos_.load(std::memory_order_relaxed) + 1) % kEntryCount;
    if (next == writePos_.load(std::memory_order_acquire)) {
        return false;
    }
    entry = entries_[static_cast<std::size_t>(next)];
    readPos_.store(next, std::memory_order_release);
    return true;
}

}  // namespace QN
