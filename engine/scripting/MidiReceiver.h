#pragma once
// The MIDI operations that queued events are dispatched to, at their sample positions.
// Called on: the audio thread, between the pieces of a block.

namespace QN {

class MidiReceiver {
public:
    virtual ~MidiReceiver() = default;
    virtual void NoteOn(int channel, int note, int velocity) = 0;
    virtual void NoteOff(int channel, int note, int velocity) = 0;
    virtual void PolyPressure(int channel, int note, int pressure) = 0;
    virtual void ControlChange(int channel, int controller, int value) = 0;
    virtual void ProgramChange(int channel, int program) = 0;
    virtual void ChannelPressure(int channel, int pressure) = 0;
    virtual void PitchWheel(int channel, int lsb, int msb) = 0;
    // Whether events can be handled now; while not, they stay queued, in order, for the
    // next block.
    virtual bool readyForEvents() { return true; }
};

}  // namespace QN
