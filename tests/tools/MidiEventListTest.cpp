// The VstEvents block our host builds for effProcessEvents, and its delivery.

#include "tests/tools/TestPluginHooks.h"
#include "tools/host/MidiEventList.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>

using lfhost::MidiEventList;
using lfhost::MidiMessage;

namespace {

std::string eventLog(lfhost::PluginInstance& plugin)
{
    std::array<char, 4096> text{};
    plugin.dispatch(effVendorSpecific, kHookReadEventLog, static_cast<VstIntPtr>(text.size()), text.data());
    return text.data();
}

TEST(MidiEventBlock, EachEventIsAThirtyTwoByteMidiEventWithItsOffsetAndBytes)
{
    MidiEventList list({{5, {0x90, 60, 100}}, {17, {0x80, 60, 0}}});
    const VstEvents* events = list.events();
    ASSERT_EQ(events->numEvents, 2);
    EXPECT_EQ(events->reserved, 0);
    const auto* noteOn = reinterpret_cast<const VstMidiEvent*>(events->events[0]);
    EXPECT_EQ(noteOn->type, kVstMidiType);
    EXPECT_EQ(noteOn->byteSize, 32);
    EXPECT_EQ(noteOn->deltaFrames, 5);
    EXPECT_EQ(noteOn->flags, 0);
    EXPECT_EQ(static_cast<unsigned char>(noteOn->midiData[0]), 0x90);
    EXPECT_EQ(noteOn->midiData[1], 60);
    EXPECT_EQ(noteOn->midiData[2], 100);
    EXPECT_EQ(noteOn->midiData[3], 0);
    EXPECT_EQ(noteOn->noteLength, 0);
    EXPECT_EQ(noteOn->detune, 0);
    const auto* noteOff = reinterpret_cast<const VstMidiEvent*>(events->events[1]);
    EXPECT_EQ(noteOff->deltaFrames, 17);
    EXPECT_EQ(static_cast<unsigned char>(noteOff->midiData[0]), 0x80);
}

TEST(MidiEventBlock, PointerArrayGrowsPastTheTwoDeclaredSlots)
{
    std::vector<MidiMessage> messages;
    for (int i = 0; i < 40; ++i) messages.push_back({i, {0xB0, static_cast<unsigned char>(i), 64}});
    MidiEventList list(messages);
    const VstEvents* events = list.events();
    ASSERT_EQ(events->numEvents, 40);
    const auto* base = reinterpret_cast<const char*>(events) + offsetof(VstEvents, events);
    for (int i = 0; i < 40; ++i) {
        const VstEvent* event = reinterpret_cast<VstEvent* const*>(base)[i];
        EXPECT_EQ(event->deltaFrames, i);
        EXPECT_EQ(reinterpret_cast<const VstMidiEvent*>(event)->midiData[1], i);
    }
}

TEST(MidiEventBlock, EmptyListHasNoEvents)
{
    MidiEventList list({});
    EXPECT_EQ(list.events()->numEvents, 0);
}

TEST(MidiDelivery, SendMidiReachesThePluginInOrder)
{
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LFTEST_GAIN_PLUGIN, &error);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->sendMidi({{0, {0x91, 64, 127}}, {255, {0xE0, 0x00, 0x40}}, {255, {0xB3, 7, 1}}});
    EXPECT_EQ(eventLog(*plugin),
              "type=1 size=32 delta=0 bytes=91 40 7f\n"
              "type=1 size=32 delta=255 bytes=e0 00 40\n"
              "type=1 size=32 delta=255 bytes=b3 07 01\n");
}

TEST(MidiDelivery, RawEventListsPassThroughUnchanged)
{
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LFTEST_GAIN_PLUGIN, &error);
    ASSERT_NE(plugin, nullptr) << error;
    char dump[] = {static_cast<char>(0xF0), 0x7E, 0x7F, static_cast<char>(0xF7)};
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof sysex;
    sysex.deltaFrames = 3;
    sysex.dumpBytes = sizeof dump;
    sysex.sysexDump = dump;
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&sysex);
    plugin->sendEvents(&events);
    EXPECT_EQ(eventLog(*plugin), "type=6 size=" + std::to_string(sizeof sysex) + " delta=3 dump=4 first=f0\n");
}

}  // namespace
