#include "tools/host/RealtimeMidiBlock.h"

#include <algorithm>

namespace lfhost {
namespace {

std::size_t blockWords(std::size_t eventCount)
{
    const std::size_t bytes = offsetof(VstEvents, events) + std::max<std::size_t>(eventCount, 2) * sizeof(VstEvent*);
    return (bytes + sizeof(VstIntPtr) - 1) / sizeof(VstIntPtr);
}

}  // namespace

RealtimeMidiBlock::RealtimeMidiBlock(std::size_t capacity) : midiEvents_(capacity), block_(blockWords(capacity), 0)
{
    auto* slots = reinterpret_cast<VstEvent**>(reinterpret_cast<char*>(block_.data()) + offsetof(VstEvents, events));
    for (std::size_t i = 0; i < capacity; ++i) slots[i] = reinterpret_cast<VstEvent*>(&midiEvents_[i]);
}

void RealtimeMidiBlock::clear() { count_ = 0; }

bool RealtimeMidiBlock::add(int deltaFrames, const unsigned char* bytes, std::size_t size)
{
    if (size < 1 || size > 3 || static_cast<std::size_t>(count_) >= midiEvents_.size()) return false;
    VstMidiEvent& event = midiEvents_[static_cast<std::size_t>(count_++)];
    event = VstMidiEvent{};
    event.type = kVstMidiType;
    event.byteSize = static_cast<VstInt32>(sizeof(VstMidiEvent));
    event.deltaFrames = deltaFrames;
    for (std::size_t i = 0; i < size; ++i) event.midiData[i] = static_cast<char>(bytes[i]);
    return true;
}

VstEvents* RealtimeMidiBlock::events()
{
    auto* list = reinterpret_cast<VstEvents*>(block_.data());
    list->numEvents = count_;
    list->reserved = 0;
    return list;
}

}  // namespace lfhost
