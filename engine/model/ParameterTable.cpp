#include "engine/model/ParameterTable.h"

#include "engine/model/ValueFormatting.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

struct BinNames {
    std::array<std::array<char, 16>, kBinCount> names{};
    BinNames()
    {
        for (int k = 0; k < kBinCount; ++k) {
            std::snprintf(names[k].data(), names[k].size(), "Bin %d Level", k);
        }
    }
};

const BinNames& binNames()
{
    static const BinNames names;
    return names;
}

constexpr std::array<ParameterInfo, kBinLevelBase> kControlRows = {{
    {"OSC Port Offset", ParameterUnit::Indexed, 0, 100, 0},
    {"Dry Level", ParameterUnit::MixerFaderCurve1, 0, 1, 0},
    {"Wet Level", ParameterUnit::MixerFaderCurve1, 0, 1, 1},
    {"FFT Size", ParameterUnit::Indexed, 0, 7, 5},
    {"View X Axis", ParameterUnit::Indexed, 0, 1, 0},
    {"View Y Axis", ParameterUnit::Indexed, 0, 1, 0},
    {"View Min dB", ParameterUnit::Decibels, -180, 0, -160},
    {"View Max dB", ParameterUnit::Decibels, -180, 0, 0},
    {"View Min Linear", ParameterUnit::Generic, 0, 1, 0},
    {"View Max Linear", ParameterUnit::Generic, 0, 1, 1},
    {"View Smoothing", ParameterUnit::Milliseconds, 0, 2000, 500},
    {"Input Gain", ParameterUnit::Decibels, -80, 36, 0},
    {"Output Gain", ParameterUnit::Decibels, -80, 36, 0},
    {"Script Index", ParameterUnit::Indexed, 0, 0, 0},
    {"Script Position", ParameterUnit::Indexed, 0, 1, 0},
    {"Scripted 1", ParameterUnit::Indexed, -100, 100, 0},
    {"Scripted 2", ParameterUnit::Generic, 0, 1, 0},
    {"Scripted 3", ParameterUnit::Generic, 0, 1, 0},
    {"Scripted 4", ParameterUnit::Generic, 0, 1, 0},
    {"Overlap", ParameterUnit::Indexed, 0, 2, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
    {"Dummy", ParameterUnit::Generic, 0, 1, 0},
}};

bool isIndexedLike(ParameterUnit unit)
{
    return unit == ParameterUnit::Indexed || unit == ParameterUnit::Beats;
}

}  // namespace

bool isValidParameterId(int id) { return id >= 0 && id < kParameterCount; }

ParameterInfo parameterInfo(int id)
{
    if (id >= kBinLevelBase) {
        return {binNames().names[id - kBinLevelBase].data(), ParameterUnit::Generic, 0, 1, 1};
    }
    return kControlRows[id];
}

int findParameterByName(std::string_view name)
{
    for (int id = 0; id < kParameterCount; ++id) {
        if (name == parameterInfo(id).name) {
            return id;
        }
    }
    return -1;
}

float normalizedToPlain(int id, float x) { return normalizedToPlain(parameterInfo(id), x); }

float plainToNormalized(int id, float v) { return plainToNormalized(parameterInfo(id), v); }

float normalizedToPlain(const ParameterInfo& row, float x)
{
    if (isIndexedLike(row.unit)) {
        return std::floor((row.maxValue - row.minValue) * x + row.minValue + 0.5f);
    }
    if (row.unit == ParameterUnit::Hertz) {
        return row.minValue * std::exp(std::log(row.maxValue / row.minValue) * x);
    }
    return (row.maxValue - row.minValue) * x + row.minValue;
}

float plainToNormalized(const ParameterInfo& row, float v)
{
    if (row.unit == ParameterUnit::Hertz) {
        return std::log(v / row.minValue) / std::log(row.maxValue / row.minValue);
    }
    if (row.maxValue == row.minValue) {
        return row.minValue;
    }
    return (v - row.minValue) / (row.maxValue - row.minValue);
}

std::optional<float> admittedPlainValue(const ParameterInfo& row, float plain)
{
    if (!std::isfinite(plain)) {
        return std::nullopt;
    }
    return std::clamp(plain, row.minValue, row.maxValue);
}

float steppedPlainValue(const ParameterInfo& row, float plain)
{
    return isIndexedLike(row.unit) ? std::floor(plain + 0.5f) : plain;
}

int fftSizeIndexFromValue(float value)
{
    if (!(value >= 0.0f)) {
        return std::isnan(value) ? kDefaultFftSizeIndex : 0;
    }
    if (value >= static_cast<float>(kFftSizeCount - 1)) {
        return kFftSizeCount - 1;
    }
    return static_cast<int>(value);
}

int overlapIndexFromValue(float value)
{
    if (!(value >= 0.0f)) {
        return 0;
    }
    if (value >= static_cast<float>(kOverlapCount - 1)) {
        return kOverlapCount - 1;
    }
    return static_cast<int>(value);
}

const std::vector<std::string>& listEntries(int id)
{
    static const std::vector<std::string> fftSizes{"32", "64", "128", "256", "512", "1024", "2048", "4096"};
    static const std::vector<std::string> axes{"Log", "Linear"};
    static const std::vector<std::string> positions{"After", "Before"};
    static const std::vector<std::string> overlaps{"2x", "4x", "8x"};
    static const std::vector<std::string> none;
    switch (id) {
    case ParameterId::FftSize: return fftSizes;
    case ParameterId::ViewXAxis:
    case ParameterId::ViewYAxis: return axes;
    case ParameterId::ScriptPosition: return positions;
    case ParameterId::Overlap: return overlaps;
    default: return none;
    }
}

const char* unitLabel(ParameterUnit unit)
{
    switch (unit) {
    case ParameterUnit::Percent: return "%";
    case ParameterUnit::Seconds: return "seconds";
    case ParameterUnit::Hertz: return "Hz";
    case ParameterUnit::Cents: return "cents";
    case ParameterUnit::Decibels:
    case ParameterUnit::MixerFaderCurve1: return "dB";
    case ParameterUnit::Pan: return "L/R";
    case ParameterUnit::BPM: return "BPM";
    case ParameterUnit::Beats: return "beats";
    case ParameterUnit::Milliseconds: return "ms";
    default: return "";
    }
}

float displayedNumber(const ParameterInfo& row, float plain)
{
    if (row.unit != ParameterUnit::MixerFaderCurve1) {
        return plain;
    }
    if (plain <= 0.0f) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(60.0 * std::log10(static_cast<double>(plain)));
}

std::string displayedNumberText(const ParameterInfo& row, float plain)
{
    return formatParameterNumber(displayedNumber(row, plain));
}

float plainFromDisplayedNumber(const ParameterInfo& row, float displayed)
{
    if (row.unit != ParameterUnit::MixerFaderCurve1) {
        return displayed;
    }
    // Capped below float infinity so that a huge gain clamps to the top instead of being
    // refused as not finite; NaN stays NaN and is refused.
    const double position = std::pow(10.0, static_cast<double>(displayed) / 60.0);
    return static_cast<float>(std::min(position, static_cast<double>(std::numeric_limits<float>::max())));
}
