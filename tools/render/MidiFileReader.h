#pragma once
// Reads a standard MIDI file (format 0 or 1; running status, tempo changes, metrical or
// SMPTE time division) into the channel messages it holds, each with its time in
// seconds from the start: notes, controllers, program changes, pitch bend and pressure.
// System-exclusive and meta events other than tempo are read past and dropped.
//
// Every length in the file is checked against the bytes that are really there; a broken
// file is refused as a whole with one RenderError naming the file and the fault.

#include <cstdint>
#include <string>
#include <vector>

namespace lfrender {

struct TimedMidiMessage {
    double seconds = 0.0;
    unsigned char bytes[3] = {0, 0, 0};
};

class MidiFileReader {
public:
    // Budgets for files from outside: larger files or more events are refused.
    static constexpr std::size_t kMaxFileBytes = 64u << 20;
    static constexpr std::size_t kMaxEvents = 4'000'000;
    static constexpr int kMaxTracks = 4096;

    // Messages in time order (a stable merge of the tracks: at equal times the earlier
    // track first). displayName is used in error messages.
    [[nodiscard]] static std::vector<TimedMidiMessage> parse(const std::vector<std::uint8_t>& bytes,
                                                             const std::string& displayName);
    // Reads and parses the file at path.
    [[nodiscard]] static std::vector<TimedMidiMessage> read(const std::string& path);
};

}  // namespace lfrender
