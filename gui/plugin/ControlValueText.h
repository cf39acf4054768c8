#pragma once

#include "plugin/core/ParameterInfo.h"

#include <string>

// What the editor's value fields show for the plug-in's parameters: the value with its
// unit. Gains in decibels, shortened to fit the knobs' fields; the mix levels exactly as
// hosts show them (the gain, their value cubed, in dB: "-18.06 dB"); milliseconds with
// "ms". Other parameters keep the host's text (the word of a list, a plain factor).
// Typed values go back through the plug-in's own reading of texts (plainFromText).
class ControlValueText {
public:
    // Empty when the field should show the host's own text.
    [[nodiscard]] static std::string text(const ParameterInfo& row, float plain);
};
