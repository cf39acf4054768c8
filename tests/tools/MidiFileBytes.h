#pragma once
// Standard MIDI files built byte by byte for tests: a header and track chunks.

#include <cstdint>
#include <initializer_list>
#include <vector>

using MidiBytes = std::vector<std::uint8_t>;

inline void appendBigEndian(MidiBytes& out, std::uint32_t value, int count)
{
    for (int shift = (count - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline MidiBytes midiHeader(int format, int tracks, int division)
{
    MidiBytes out = {'M', 'T', 'h', 'd'};
    appendBigEndian(out, 6, 4);
    appendBigEndian(out, static_cast<std::uint32_t>(format), 2);
    appendBigEndian(out, static_cast<std::uint32_t>(tracks), 2);
    appendBigEndian(out, static_cast<std::uint32_t>(division), 2);
    return out;
}

// A track chunk around events (delta times included), its length as given.
inline MidiBytes midiTrack(std::initializer_list<std::uint8_t> events)
{
    MidiBytes out = {'M', 'T', 'r', 'k'};
    appendBigEndian(out, static_cast<std::uint32_t>(events.size()), 4);
    out.insert(out.end(), events);
    return out;
}

inline MidiBytes midiFile(std::initializer_list<MidiBytes> chunks)
{
    MidiBytes out;
    for (const MidiBytes& chunk : chunks) out.insert(out.end(), chunk.begin(), chunk.end());
    return out;
}
