#pragma once
// The instance's scripting helper: owns the Lua state that MIDI and spectral scripts
// share, and receives the queued MIDI events at their sample positions. The scripting
// surface itself arrives with the Lua integration; until then the MIDI operations do
// nothing, and the block splitting already calls them at the right positions.

#include "scripting/MessageQueue.h"
#include "scripting/MidiReceiver.h"

namespace QN {

class OSCHelper;

class LuaMIDIHelper : public MidiReceiver {
public:
    explicit LuaMIDIHelper(MessageQueue* queue) : queue_(queue) {}
    ~LuaMIDIHelper() override = default;
    LuaMIDIHelper(const LuaMIDIHelper&) = delete;
    LuaMIDIHelper& operator=(const LuaMIDIHelper&) = delete;

    void setOSCHelper(OSCHelper* oscHelper) { oscHelper_ = oscHelper; }

    // Creates the Lua state and runs the built-in and user scripts (host thread).
    virtual void createState() {}

    void NoteOn(int, int, int) override {}
    void NoteOff(int, int, int) override {}
    void PolyPressure(int, int, int) override {}
    void ControlChange(int, int, int) override {}
    void ProgramChange(int, int) override {}
    void ChannelPressure(int, int) override {}
    void PitchWheel(int, int, int) override {}

protected:
    MessageQueue* queue_;
    OSCHelper* oscHelper_ = nullptr;
};

}  // namespace QN
