#pragma once
// Splits one host block at the sample offsets of the queued MIDI events, so that every
// event takes effect at its own position. Called on: the audio thread.

#include "engine/scripting/MessageQueue.h"
#include "engine/scripting/MidiReceiver.h"

namespace QN {

class ChunkRenderer {
public:
    virtual ~ChunkRenderer() = default;
    // Renders frames [offset, offset + frames) of the current host block.
    virtual void renderChunk(int offset, int frames) = 0;
};

// Renders `frames` frames, taking queued events in order: audio up to each event's
// offset is rendered first, then the event is dispatched. Events at or before the
// position reached are dispatched at once; events past the block end are dispatched
// after its last frame. Events still queued when the block is done wait for the next, and
// so do all events from the first one the receiver is not ready for.
void renderBlockWithMessages(MessageQueue& queue, int frames, ChunkRenderer& renderer, MidiReceiver& receiver);

// Sends one record to the matching MIDI operation; records of another kind are ignored.
void dispatchMidiRecord(const MidiEventRecord& record, MidiReceiver& receiver);

}  // namespace QN
