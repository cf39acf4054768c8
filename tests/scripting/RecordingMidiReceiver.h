#pragma once
// Test double: records every MIDI operation as text, in order.

#include "engine/scripting/MidiReceiver.h"

#include <string>
#include <vector>

class RecordingMidiReceiver : public QN::MidiReceiver {
public:
    std::vector<std::string> log;
    int readyFor = 1 << 30;  // events it takes before it stops being ready

    bool readyForEvents() override { return readyFor-- > 0; }

    void NoteOn(int c, int n, int v) override { add("on", c, n, v); }
    void NoteOff(int c, int n, int v) override { add("off", c, n, v); }
    void PolyPressure(int c, int n, int p) override { add("poly", c, n, p); }
    void ControlChange(int c, int n, int v) override { add("cc", c, n, v); }
    void ProgramChange(int c, int p) override { add("program", c, p, -1); }
    void ChannelPressure(int c, int p) override { add("pressure", c, p, -1); }
    void PitchWheel(int c, int lsb, int msb) override { add("wheel", c, lsb, msb); }

    void add(const std::string& what, int a, int b, int c)
    {
        std::string entry = what + " " + std::to_string(a) + " " + std::to_string(b);
        if (c >= 0) {
            entry += " " + std::to_string(c);
        }
        log.push_back(entry);
    }
};
