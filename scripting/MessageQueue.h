#pragma once
// Carries MIDI events from the host's event call to the audio rendering loop.
// A fixed ring of 64 records: readPos names the slot consumed last, writePos the next
// slot to fill; at most 63 events are pending. One writer and one reader, which may be
// on two threads: each side publishes its position (release) only after the slot it
// guards has been filled or copied out, and reads the other side's with acquire.

#include "scripting/MidiEventRecord.h"

#include <array>
#include <atomic>
#include <cstdint>

struct VstEvents;

namespace QN {

class MessageQueue {
public:
    static constexpr int kSlotCount = 64;

    MessageQueue() = default;
    virtual ~MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Called on: the host's event call (usually the audio thread). Queues every MIDI
    // event of the list in order; other event types are skipped. When the ring is full
    // the event is dropped with one overflow line on standard error. Returns 1.
    int Write(const VstEvents* events);

    // Queues one channel message given as raw bytes; false (with the overflow line)
    // when the ring is full.
    bool writeMidi(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::int32_t deltaFrames);

    // Called on: the audio thread. Takes the oldest pending record; false when empty.
    bool take(MidiEventRecord& record);

private:
    std::array<MidiEventRecord, kSlotCount> slots_{};
    std::atomic<std::int32_t> readPos_{kSlotCount - 1};
    std::atomic<std::int32_t> writePos_{0};
};

}  // namespace QN
