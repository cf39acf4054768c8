#pragma once
// The LV2 plug-in's URIs and port layout, shared by the binding and the generator of its
// Turtle description so that the two can never disagree.

#include "engine/model/ParameterTable.h"

namespace lumenfold::lv2 {

inline constexpr char kPluginUri[] = "urn:corvanne:lumenfold";
inline constexpr char kUiUri[] = "urn:corvanne:lumenfold#ui";
// The whole state block (the VST chunk), as an atom:Chunk.
inline constexpr char kStateUri[] = "urn:corvanne:lumenfold#state";
// Bin level k is the patch parameter kBinUriPrefix + k.
inline constexpr char kBinUriPrefix[] = "urn:corvanne:lumenfold#bin";

enum Port : int {
    kAudioIn1 = 0,
    kAudioIn2 = 1,
    kAudioOut1 = 2,
    kAudioOut2 = 3,
    kControlIn = 4,   // atom: MIDI events and patch messages
    kNotifyOut = 5,   // atom: patch:Set replies and bin changes
    kLatencyOut = 6,  // lv2:reportsLatency
    kFirstParameterPort = 7,
};

// The main parameters are control ports, in id order from 0 (the bins are patch
// parameters, the unused rows no ports at all). "Overlap" came last, so the older ports
// kept their indices.
constexpr int kControlParameterCount = ParameterId::Overlap + 1;
constexpr int kPortCount = kFirstParameterPort + kControlParameterCount;

}  // namespace lumenfold::lv2
