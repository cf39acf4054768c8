#include "engine/scripting/BlockRenderer.h"

#include <algorithm>

namespace QN {

void renderBlockWithMessages(MessageQueue& queue, int frames, ChunkRenderer& renderer, MidiReceiver& receiver)
{
    int offset = 0;
    int lastPosition = 0;
    int remaining = frames;
    bool receiving = true;
    while (remaining > 0) {
        MidiEventRecord record;
        const bool hasMessage = receiving && queue.peek(record);
        int chunk = remaining;
        if (hasMessage) {
            chunk = 0;
            if (record.deltaFrames > lastPosition) {
                chunk = std::min(record.deltaFrames - lastPosition, remaining);
                lastPosition = record.deltaFrames;
            }
        }
        if (chunk > 0) {
            renderer.renderChunk(offset, chunk);
            offset += chunk;
            remaining -= chunk;
        }
        if (!hasMessage) {
            continue;
        }
        // Events the receiver cannot take now stay queued, in order, for the next block.
        receiving = receiver.readyForEvents();
        if (receiving) {
            queue.drop();
            dispatchMidiRecord(record, receiver);
        }
    }
}

void dispatchMidiRecord(const MidiEventRecord& record, MidiReceiver& receiver)
{
    if (record.kind != 0) {
        return;
    }
    const int channel = record.channel;
    switch (record.status) {
    case 0x80: receiver.NoteOff(channel, record.data1, record.data2); break;
    case 0x90:
        if (record.data2 == 0) {
            receiver.NoteOff(channel, record.data1, record.data2);
        } else {
            receiver.NoteOn(channel, record.data1, record.data2);
        }
        break;
    case 0xA0: receiver.PolyPressure(channel, record.data1, record.data2); break;
    case 0xB0: receiver.ControlChange(channel, record.data1, record.data2); break;
    case 0xC0: receiver.ProgramChange(channel, record.data1); break;
    case 0xD0: receiver.ChannelPressure(channel, record.data1); break;
    case 0xE0: receiver.PitchWheel(channel, record.data1, record.data2); break;
    default: break;
    }
}

}  // namespace QN
