#include "engine/scripting/MessageQueue.h"

#include "engine/abi/Vst2Abi.h"
#include "engine/scripting/ScriptConsole.h"

#include <cstdio>

namespace QN {

namespace {
constexpr std::int32_t nextSlot(std::int32_t position)
{
    return (position + 1) % MessageQueue::kSlotCount;
}
}  // namespace

int MessageQueue::Write(const VstEvents* events)
{
    if (events == nullptr) {
        return 1;
    }
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (event == nullptr || event->type != kVstMidiType) {
            continue;
        }
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        writeMidi(static_cast<std::uint8_t>(midi->midiData[0]), static_cast<std::uint8_t>(midi->midiData[1]),
                  static_cast<std::uint8_t>(midi->midiData[2]), midi->deltaFrames);
    }
    reportDrops();
    return 1;
}

bool MessageQueue::writeMidi(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::int32_t deltaFrames)
{
    const std::int32_t write = writePos_.load(std::memory_order_relaxed);
    if (write == readPos_.load(std::memory_order_acquire)) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        unreportedDrops_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    MidiEventRecord& record = slots_[static_cast<std::size_t>(write)];
    record.kind = 0;
    record.status = status & 0xF0;
    record.channel = status & 0x0F;
    record.data1 = data1 & 0x7F;
    record.data2 = data2 & 0x7F;
    record.deltaFrames = deltaFrames;
    writePos_.store(nextSlot(write), std::memory_order_release);
    return true;
}

bool MessageQueue::take(MidiEventRecord& record)
{
    if (!peek(record)) {
        return false;
    }
    drop();
    return true;
}

bool MessageQueue::peek(MidiEventRecord& record) const
{
    const std::int32_t next = nextSlot(readPos_.load(std::memory_order_relaxed));
    if (next == writePos_.load(std::memory_order_acquire)) {
        return false;
    }
    record = slots_[static_cast<std::size_t>(next)];
    return true;
}

void MessageQueue::drop()
{
    const std::int32_t next = nextSlot(readPos_.load(std::memory_order_relaxed));
    if (next != writePos_.load(std::memory_order_acquire)) {
        readPos_.store(next, std::memory_order_release);
    }
}

void MessageQueue::markForDiscard()
{
    discardMark_.store(writePos_.load(std::memory_order_acquire), std::memory_order_release);
}

void MessageQueue::discardMarked()
{
    const std::int32_t mark = discardMark_.exchange(kNoMark, std::memory_order_acq_rel);
    if (mark == kNoMark) {
        return;
    }
    // The writer never passes the reader, so the mark lies between them unless the reader
    // took events past it already; then the loop stops when the ring is empty.
    MidiEventRecord record;
    while (nextSlot(readPos_.load(std::memory_order_relaxed)) != mark && peek(record)) {
        drop();
    }
}

void MessageQueue::reportDrops()
{
    if (console_ == nullptr) {
        return;
    }
    const std::uint32_t drops = unreportedDrops_.exchange(0, std::memory_order_relaxed);
    if (drops == 0) {
        return;
    }
    // Formatted on the stack and posted to the lock-free ring: this may run on the audio
    // thread, which must not allocate or write.
    char line[80];
    std::snprintf(line, sizeof line, "MessageQueue::Write() overflow: %u event%s dropped\n", drops,
                  drops == 1 ? "" : "s");
    console_->post("MIDI input", line);
}

}  // namespace QN
