#pragma once
// The MIDI registrations made by scripts: Lua registry references, in registration
// order, duplicates allowed, never removed. Written by scripts and read by the MIDI
// dispatch, both under the Lua lock.

#include <unordered_map>
#include <vector>

namespace QN {

using RefList = std::vector<int>;
using KeyedRefs = std::unordered_map<int, RefList>;

struct MidiRequests {
    RefList allNoteOn;
    RefList allNoteOff;
    RefList allCC;
    RefList allNRPN;
    RefList allProgramChange;
    RefList allPolyPressure;
    KeyedRefs noteOn;
    KeyedRefs noteOff;
    KeyedRefs cc;
    KeyedRefs nrpn;
    KeyedRefs programChange;
    KeyedRefs polyPressure;
    RefList pitchWheel;
    RefList channelPressure;
};

// Controller numbers that carry NRPN selection and data entry.
struct NrpnState {
    int numberMsb = 0;  // controller 99
    int numberLsb = 0;  // controller 98
    int dataMsb = 0;    // controller 6
    int dataLsb = 0;    // controller 38
};

}  // namespace QN
