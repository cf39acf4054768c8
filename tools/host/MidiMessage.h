#pragma once
// A short MIDI message to deliver at a sample offset within the next processed block.

namespace lfhost {

struct MidiMessage {
    int deltaFrames = 0;
    unsigned char bytes[3] = {0, 0, 0};
};

}  // namespace lfhost
