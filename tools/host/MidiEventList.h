#pragma once
// A VstEvents block for effProcessEvents: the header followed by one pointer per event,
// each pointing at a 32-byte VstMidiEvent owned by this object. The plug-in may only
// read the block during the effProcessEvents call, so one list per call is enough.

#include "engine/abi/Vst2Abi.h"
#include "tools/host/MidiMessage.h"

#include <vector>

namespace lfhost {

class MidiEventList {
public:
    explicit MidiEventList(const std::vector<MidiMessage>& messages);

    MidiEventList(const MidiEventList&) = delete;
    MidiEventList& operator=(const MidiEventList&) = delete;

    [[nodiscard]] VstEvents* events() { return reinterpret_cast<VstEvents*>(block_.data()); }

private:
    std::vector<VstMidiEvent> midiEvents_;
    // VstEvents declares two event pointers; lists with more events extend past the
    // struct, so the block is sized by hand in pointer-sized (and -aligned) words.
    std::vector<VstIntPtr> block_;
};

}  // namespace lfhost
