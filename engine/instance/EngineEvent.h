#pragma once
// One timed event of a host block, in no format's terms: a short MIDI message or a new
// plain value for a parameter, at a frame of the block.

#include <cstdint>

struct EngineEvent {
    enum class Kind : std::uint8_t { Midi, ParameterValue };

    Kind kind = Kind::Midi;
    // The frame within the block; a time before the previous event's or past the block is
    // taken as the nearest one inside.
    std::uint32_t time = 0;
    // Midi: the message, zero-filled after size bytes (1..3).
    std::uint8_t midi[3] = {};
    int midiSize = 0;
    // ParameterValue: the id and the plain value (range-checked by the engine).
    int id = 0;
    double value = 0.0;

    static EngineEvent midiMessage(std::uint32_t time, const std::uint8_t* bytes, int size);
    static EngineEvent parameterValue(std::uint32_t time, int id, double value);
};

inline EngineEvent EngineEvent::midiMessage(std::uint32_t time, const std::uint8_t* bytes, int size)
{
    EngineEvent event;
    event.kind = Kind::Midi;
    event.time = time;
    event.midiSize = size < 0 ? 0 : (size > 3 ? 3 : size);
    for (int i = 0; i < event.midiSize; ++i) event.midi[i] = bytes[i];
    return event;
}

inline EngineEvent EngineEvent::parameterValue(std::uint32_t time, int id, double value)
{
    EngineEvent event;
    event.kind = Kind::ParameterValue;
    event.time = time;
    event.id = id;
    event.value = value;
    return event;
}
