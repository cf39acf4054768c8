#pragma once

#include "engine/model/ParameterInfo.h"

#include <string>

// What the editor's value fields show for the plug-in's parameters: ValueText's Compact
// style, the value with its unit shortened to fit the knobs' fields (gains "-6.5 dB",
// the mix levels exactly as hosts show them, "-18.06 dB", times "500 ms"). Other
// parameters keep the host's text (the word of a list, a plain factor), which only the
// instance knows for its script list. Typed values go back through the plug-in's own
// reading of texts (plainFromText, ValueText's Displayed reading).
class ControlValueText {
public:
    // Empty when the field should show the host's own text.
    [[nodiscard]] static std::string text(const ParameterInfo& row, float plain);
};
