#pragma once
// A VstEvents block of fixed capacity for a live host's audio thread: the events and the
// pointer array are allocated once, so filling and sending a block allocates nothing.
//
// Threads: owned by the audio thread after construction.

#include "engine/abi/Vst2Abi.h"

#include <cstddef>
#include <vector>

namespace lfhost {

class RealtimeMidiBlock {
public:
    explicit RealtimeMidiBlock(std::size_t capacity);

    RealtimeMidiBlock(const RealtimeMidiBlock&) = delete;
    RealtimeMidiBlock& operator=(const RealtimeMidiBlock&) = delete;

    void clear();
    // False (and the message dropped) when the block is full or size is not 1 to 3.
    bool add(int deltaFrames, const unsigned char* bytes, std::size_t size);
    [[nodiscard]] int count() const { return count_; }
    [[nodiscard]] VstEvents* events();

private:
    std::vector<VstMidiEvent> midiEvents_;
    std::vector<VstIntPtr> block_;  // the VstEvents header and its pointers, as in MidiEventList
    int count_ = 0;
};

}  // namespace lfhost
