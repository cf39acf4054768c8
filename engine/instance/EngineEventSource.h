#pragma once
// A host block's events, handed to the engine one at a time in the host's order, each
// already translated from the format's own records. The engine pulls them while it renders,
// so a source may act on records that are not events for the engine (an LV2 patch:Get) at
// their place in the block.
//
// Called on: the audio thread, from PluginEngine::process. No allocation, no I/O.

#include "engine/instance/EngineEvent.h"

class EngineEventSource {
public:
    virtual ~EngineEventSource() = default;
    // The next event, or false at the end of the block.
    virtual bool next(EngineEvent& event) = 0;
    // The engine could not take the event (a value that is not finite or an unknown id, a
    // full MIDI queue): the source may note it for a report off the audio thread.
    virtual void refused(const EngineEvent&) {}
};
