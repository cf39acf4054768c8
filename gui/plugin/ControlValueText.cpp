#include "gui/plugin/ControlValueText.h"

#include "plugin/core/ParameterTable.h"
#include "plugin/core/ValueFormatting.h"

#include <cmath>

namespace {

// One decimal while it fits the knobs' 37-pixel fields, none beyond; the space goes
// first when the number is long.
std::string decibels(double value)
{
    if (!std::isfinite(value)) return value < 0 ? "-inf dB" : "inf dB";
    const double size = std::fabs(value);
    return formatFixed(value, size < 10.0 ? 1 : 0) + (size < 100.0 ? " dB" : "dB");
}

}  // namespace

std::string ControlValueText::text(const ParameterInfo& row, float plain)
{
    switch (row.unit) {
    case ParameterUnit::Decibels: return decibels(plain);
    case ParameterUnit::MixerFaderCurve1:
        return displayedNumberText(row, plain) + " " + unitLabel(row.unit);
    case ParameterUnit::Milliseconds: return formatFixed(plain, 0) + " ms";
    default: return {};
    }
}
