#pragma once
// What the renderer needs to know about a parameter to accept a plain value for it.

namespace lfrender {

struct ParameterRange {
    float minValue = 0.0f;
    float maxValue = 1.0f;
    bool isIndexed = false;  // whole-number steps, each with its own display text
    // The row's maximum is set inside the plug-in at run time ("Script Index", which
    // counts the plug-in's spectral scripts); our copy of the table cannot know it.
    bool maximumKnownOnlyToPlugin = false;
    // Plain values are not counted in the row's unit: Lumenfold's mix levels store a fader
    // position and show its gain (the position cubed) in dB. A bare number is the plain
    // value; one with the unit is converted (ParameterCatalog::plainFromValueText).
    bool unitIsNotPlain = false;
};

}  // namespace lfrender
