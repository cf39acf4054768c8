#include "gui/plugin/ControlValueText.h"

#include "plugin/core/ValueFormatting.h"

#include <algorithm>
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

std::string ControlValueText::mixDecibels(float plain)
{
    const double gain = std::pow(static_cast<double>(std::clamp(plain, 0.0f, 1.0f)), 3.0);
    if (!(gain > 1e-30)) return "-inf dB";
    return decibels(20.0 * std::log10(gain));
}

std::string ControlValueText::text(const ParameterInfo& row, float plain)
{
    switch (row.unit) {
    case ParameterUnit::Decibels: return decibels(plain);
    case ParameterUnit::MixerFaderCurve1: return mixDecibels(plain);
    case ParameterUnit::Milliseconds: return formatFixed(plain, 0) + " ms";
    default: return {};
    }
}

std::optional<float> ControlValueText::plainFromTyped(const ParameterInfo& row, float typed)
{
    if (row.unit != ParameterUnit::MixerFaderCurve1 || !std::isfinite(typed)) return std::nullopt;
    // gain = plain^3 = 10^(dB / 20), so plain = 10^(dB / 60); above 0 dB is the top.
    return std::clamp(static_cast<float>(std::pow(10.0, std::min(0.0f, typed) / 60.0)), 0.0f, 1.0f);
}
