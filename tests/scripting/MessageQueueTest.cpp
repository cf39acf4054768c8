#include "engine/abi/Vst2Abi.h"
#include "engine/scripting/MessageQueue.h"
#include "engine/scripting/ScriptConsole.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct EventList {
    std::vector<VstMidiEvent> midi;
    std::vector<VstEvent*> pointers;
    std::vector<unsigned char> storage;

    VstEvents* build()
    {
        storage.assign(sizeof(VstEvents) + pointers.size() * sizeof(VstEvent*), 0);
        auto* events = reinterpret_cast<VstEvents*>(storage.data());
        events->numEvents = static_cast<VstInt32>(pointers.size());
        for (std::size_t i = 0; i < pointers.size(); ++i) {
            events->events[i] = pointers[i];
        }
        return events;
    }
};

VstMidiEvent midiEvent(unsigned char status, unsigned char d1, unsigned char d2, int delta)
{
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = delta;
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>(d1);
    event.midiData[2] = static_cast<char>(d2);
    return event;
}

// Overflow lines go through the console: its writer puts them on standard error, and it keeps them.
std::string stderrOf(QN::ScriptConsole& console, const std::function<void()>& act)
{
    testing::internal::CaptureStderr();
    act();
    console.flush();
    return testing::internal::GetCapturedStderr();
}

}  // namespace

TEST(MessageQueue, KeepsItsCapacityAndCountsDropsUntilTheyAreReported)
{
    QN::ScriptConsole console;
    QN::MessageQueue queue;
    queue.setConsole(&console);
    for (int i = 0; i < QN::MessageQueue::kCapacity; ++i) {
        EXPECT_TRUE(queue.writeMidi(0x90, static_cast<std::uint8_t>(i & 0x7F), 100, i));
    }
    EXPECT_EQ(stderrOf(console, [&] {
        EXPECT_FALSE(queue.writeMidi(0x90, 99, 100, 0));
        EXPECT_FALSE(queue.writeMidi(0x90, 98, 100, 0));
    }), "") << "no line per dropped event";
    EXPECT_EQ(queue.droppedCount(), 2u);
    EXPECT_EQ(stderrOf(console, [&] {
        queue.reportDrops();
        queue.reportDrops();
    }), "MessageQueue::Write() overflow: 2 events dropped\n");
    ASSERT_EQ(console.history().size(), 1u);
    EXPECT_EQ(console.history().back().text, "MessageQueue::Write() overflow: 2 events dropped");

    QN::MidiEventRecord record;
    for (int i = 0; i < QN::MessageQueue::kCapacity; ++i) {
        ASSERT_TRUE(queue.take(record));
        ASSERT_EQ(record.deltaFrames, i);
    }
    EXPECT_FALSE(queue.take(record));
    EXPECT_TRUE(queue.writeMidi(0x80, 1, 2, 3)) << "space again once the reader moved on";
}

// A dense block from the host: 1024 events fit even behind events still pending from the
// block before; what does not fit costs one line per Write call, not one per event.
TEST(MessageQueue, BlockOfTenTwentyFourEventsFitsBehindPendingOnesAndOverflowCostsOneLine)
{
    const auto listOf = [](int count, int firstDelta) {
        auto list = std::make_unique<EventList>();
        for (int i = 0; i < count; ++i) {
            list->midi.push_back(midiEvent(0xB0, static_cast<unsigned char>(i & 0x7F), 1, firstDelta + i));
        }
        for (VstMidiEvent& event : list->midi) {
            list->pointers.push_back(reinterpret_cast<VstEvent*>(&event));
        }
        return list;
    };
    QN::ScriptConsole console;
    QN::MessageQueue queue;
    queue.setConsole(&console);
    constexpr int kPending = 3;
    for (int i = 0; i < kPending; ++i) {
        ASSERT_TRUE(queue.writeMidi(0x90, 1, 1, i));
    }
    const auto block = listOf(1024, kPending);
    const auto flood = listOf(QN::MessageQueue::kCapacity, kPending + 1024);
    const std::string afterBlock = stderrOf(console, [&] { queue.Write(block->build()); });
    const std::string afterFlood = stderrOf(console, [&] { queue.Write(flood->build()); });
    EXPECT_EQ(afterBlock, "");
    const int fitting = QN::MessageQueue::kCapacity - kPending - 1024;
    const int dropped = QN::MessageQueue::kCapacity - fitting;
    EXPECT_EQ(afterFlood, "MessageQueue::Write() overflow: " + std::to_string(dropped) + " events dropped\n");
    EXPECT_EQ(queue.droppedCount(), static_cast<std::uint64_t>(dropped));

    QN::MidiEventRecord record;
    for (int i = 0; i < QN::MessageQueue::kCapacity; ++i) {
        ASSERT_TRUE(queue.take(record));
        ASSERT_EQ(record.deltaFrames, i) << "in order, the oldest first";
    }
    EXPECT_FALSE(queue.take(record));
}

TEST(MessageQueue, StoresOnlyMidiEventsSplittingStatusAndMaskingData)
{
    EventList list;
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof(VstMidiSysexEvent);
    list.midi = {midiEvent(0x93, 0xFF, 0x80, 5), midiEvent(0xB0, 7, 100, 9)};
    list.pointers = {reinterpret_cast<VstEvent*>(&sysex), reinterpret_cast<VstEvent*>(&list.midi[0]), nullptr,
                     reinterpret_cast<VstEvent*>(&list.midi[1])};
    QN::MessageQueue queue;
    EXPECT_EQ(queue.Write(list.build()), 1);
    EXPECT_EQ(queue.Write(nullptr), 1);

    QN::MidiEventRecord record;
    ASSERT_TRUE(queue.take(record));
    EXPECT_EQ(record.kind, 0);
    EXPECT_EQ(record.status, 0x90);
    EXPECT_EQ(record.channel, 3);
    EXPECT_EQ(record.data1, 0x7F);
    EXPECT_EQ(record.data2, 0x00);
    EXPECT_EQ(record.deltaFrames, 5);
    ASSERT_TRUE(queue.take(record));
    EXPECT_EQ(record.status, 0xB0);
    EXPECT_FALSE(queue.take(record));
}

TEST(MessageQueue, WriterAndReaderOnTwoThreadsLoseAndTearNothing)
{
    QN::MessageQueue queue;
    constexpr int kEvents = 20000;
    std::thread writer([&] {
        for (int i = 0; i < kEvents; ++i) {
            while (!queue.writeMidi(0xB0, static_cast<std::uint8_t>(i & 0x7F), static_cast<std::uint8_t>((i >> 7) & 0x7F),
                                    i)) {
                std::this_thread::yield();
            }
        }
    });
    int expected = 0;
    QN::MidiEventRecord record;
    while (expected < kEvents) {
        if (!queue.take(record)) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(record.deltaFrames, expected);
        ASSERT_EQ(record.data1, expected & 0x7F);
        ASSERT_EQ(record.data2, (expected >> 7) & 0x7F);
        ++expected;
    }
    writer.join();
}

// A reset drops what was queued before it and keeps what came after; a reader already past
// the mark (the reset raced with a block) drops everything still pending, never replays.
TEST(MessageQueue, DiscardDropsOnlyWhatWasQueuedBeforeTheMark)
{
    QN::MessageQueue queue;
    QN::MidiEventRecord record;
    queue.writeMidi(0xB0, 1, 1, 0);
    queue.writeMidi(0xB0, 2, 2, 0);
    queue.markForDiscard();
    queue.writeMidi(0xB0, 3, 3, 0);
    queue.discardMarked();
    ASSERT_TRUE(queue.take(record));
    EXPECT_EQ(record.data1, 3);
    EXPECT_FALSE(queue.take(record));

    queue.writeMidi(0xB0, 4, 4, 0);
    queue.markForDiscard();
    queue.writeMidi(0xB0, 5, 5, 0);
    ASSERT_TRUE(queue.take(record));
    ASSERT_TRUE(queue.take(record));  // past the mark
    queue.writeMidi(0xB0, 6, 6, 0);
    queue.discardMarked();
    EXPECT_FALSE(queue.take(record));
    queue.discardMarked();  // no mark: nothing happens
    queue.writeMidi(0xB0, 7, 7, 0);
    EXPECT_TRUE(queue.take(record));
}
