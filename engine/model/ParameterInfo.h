#pragma once
// One row of the parameter table and the unit codes it uses.

#include <cstdint>

enum class ParameterUnit : std::int32_t {
    Generic = 0,
    Indexed = 1,
    Boolean = 2,
    Percent = 3,
    Seconds = 4,
    Hertz = 8,
    Cents = 9,
    Decibels = 13,
    MixerFaderCurve1 = 17,
    Pan = 18,
    BPM = 22,
    Beats = 23,
    Milliseconds = 24,
};

struct ParameterInfo {
    const char* name;
    ParameterUnit unit;
    float minValue;
    float maxValue;
    float defaultValue;
};
