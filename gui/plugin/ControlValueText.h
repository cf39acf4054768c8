#pragma once

#include "plugin/core/ParameterInfo.h"

#include <optional>
#include <string>

// What the editor's value fields show for the plug-in's parameters: the value with its
// unit. Gains in decibels; the mix levels, which scale the sound by the cube of their
// value, also in decibels (of that cube), typed in decibels as well; milliseconds with
// "ms". Other parameters keep the host's text (the word of a list, a plain factor).
class ControlValueText {
public:
    // Empty when the field should show the host's own text.
    [[nodiscard]] static std::string text(const ParameterInfo& row, float plain);
    // A number typed in the unit text() shows, as the parameter's plain value; nullopt
    // when the field takes plain values.
    [[nodiscard]] static std::optional<float> plainFromTyped(const ParameterInfo& row, float typed);
    // Decibels of a mix level's gain (value cubed); "-inf" below the smallest float gain.
    [[nodiscard]] static std::string mixDecibels(float plain);
};
