#pragma once
// A short MIDI message at an absolute sample frame of a render (frame 0 is the first
// input sample).

namespace lfhost {

struct FramedMidiMessage {
    long long frame = 0;
    unsigned char bytes[3] = {0, 0, 0};
};

}  // namespace lfhost
