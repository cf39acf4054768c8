#include "tools/host/MidiEventList.h"

#include <algorithm>
#include <cstddef>

namespace lfhost {
namespace {

VstMidiEvent toVstMidiEvent(const MidiMessage& message)
{
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = static_cast<VstInt32>(sizeof(VstMidiEvent));
    event.deltaFrames = message.deltaFrames;
    for (int i = 0; i < 3; ++i) event.midiData[i] = static_cast<char>(message.bytes[i]);
    return event;
}

std::size_t blockWords(std::size_t eventCount)
{
    const std::size_t bytes =
        offsetof(VstEvents, events) + std::max<std::size_t>(eventCount, 2) * sizeof(VstEvent*);
    return (bytes + sizeof(VstIntPtr) - 1) / sizeof(VstIntPtr);
}

}  // namespace

MidiEventList::MidiEventList(const std::vector<MidiMessage>& messages)
    : block_(blockWords(messages.size()), 0)
{
    midiEvents_.reserve(messages.size());
    for (const MidiMessage& message : messages) midiEvents_.push_back(toVstMidiEvent(message));

    VstEvents* list = events();
    list->numEvents = static_cast<VstInt32>(midiEvents_.size());
    list->reserved = 0;
    // Index through the raw block: the declared array has only two slots.
    auto* slots = reinterpret_cast<VstEvent**>(reinterpret_cast<char*>(list) + offsetof(VstEvents, events));
    for (std::size_t i = 0; i < midiEvents_.size(); ++i)
        slots[i] = reinterpret_cast<VstEvent*>(&midiEvents_[i]);
}

}  // namespace lfhost
