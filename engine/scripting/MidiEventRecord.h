#pragma once
// One queued MIDI channel message (12 bytes).

#include <cstdint>

namespace QN {

struct MidiEventRecord {
    std::int32_t kind = 0;  // 0: a MIDI channel message; anything else is ignored
    std::uint8_t status = 0;   // status byte with the channel bits cleared
    std::uint8_t channel = 0;  // 0..15
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::int32_t deltaFrames = 0;  // sample offset inside the next block
};

static_assert(sizeof(MidiEventRecord) == 12, "queue records are 12 bytes");

}  // namespace QN
