#pragma once
// Carries MIDI events from the host's event call to the audio rendering loop.
// A fixed ring of 2048 records, part of the object: readPos names the slot consumed last,
// writePos the next slot to fill; at most 2047 events are pending, so a block of 1024
// events fits even behind events left over from the block before. One writer and one
// reader, which may be on two threads: each side publishes its position (release) only
// after the slot it guards has been filled or copied out, and reads the other side's with
// acquire.

#include "engine/scripting/MidiEventRecord.h"

#include <array>
#include <atomic>
#include <cstdint>

struct VstEvents;

namespace QN {

class ScriptConsole;

class MessageQueue {
public:
    static constexpr int kSlotCount = 2048;
    static constexpr int kCapacity = kSlotCount - 1;

    MessageQueue() = default;
    virtual ~MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Where overflow lines go: the instance's console, which writes them to standard error
    // off the audio thread. Without one, drops are only counted. Called on: the host
    // thread that builds the instance, before audio runs.
    void setConsole(ScriptConsole* console) { console_ = console; }

    // Called on: the host's event call (usually the audio thread). Queues every MIDI
    // event of the list in order; other event types are skipped. Events that find the ring
    // full are dropped and counted; the call then posts one line to the console naming
    // how many were dropped since the last such line. Returns 1.
    int Write(const VstEvents* events);

    // Queues one channel message given as raw bytes; false when the ring is full, in which
    // case the event is counted as dropped (reported by the next Write or reportDrops).
    bool writeMidi(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::int32_t deltaFrames);

    // Called on: the audio thread. Takes the oldest pending record; false when empty.
    bool take(MidiEventRecord& record);
    // Called on: the audio thread. Copies the oldest pending record and leaves it queued;
    // false when empty. drop() then removes it.
    bool peek(MidiEventRecord& record) const;
    void drop();

    // Called on: any thread (a host's resume or reset). Marks every event queued so far as
    // belonging to the time before the reset: the reader drops them at its next
    // discardMarked(). Events written after the mark are kept.
    void markForDiscard();
    // Called on: the audio thread. Drops the events the last mark covered; when the reader
    // has already passed the mark, everything pending goes (they came from before it too).
    void discardMarked();

    // Posts one overflow line for the drops not reported yet, if there are any.
    void reportDrops();
    // Every event dropped since the queue was made. Called on: any thread.
    std::uint64_t droppedCount() const { return dropped_.load(std::memory_order_relaxed); }

private:
    std::array<MidiEventRecord, kSlotCount> slots_{};
    std::atomic<std::int32_t> readPos_{kSlotCount - 1};
    std::atomic<std::int32_t> writePos_{0};
    // The write position at the last markForDiscard, or kNoMark.
    static constexpr std::int32_t kNoMark = -1;
    std::atomic<std::int32_t> discardMark_{kNoMark};
    std::atomic<std::uint64_t> dropped_{0};
    std::atomic<std::uint32_t> unreportedDrops_{0};
    ScriptConsole* console_ = nullptr;
};

}  // namespace QN
