#pragma once
// The plug-in services a scripting or OSC helper needs, on plain arrays: parameter values in
// plain units (defaults at start), the automation the helper reported, the indicators.

#include "engine/model/ParameterTable.h"
#include "engine/scripting/PluginServices.h"

#include <array>
#include <utility>
#include <vector>

struct FakePlugin : QN::PluginServices {
    std::array<float, kParameterCount> values{};
    std::array<bool, 8> indicators{};
    std::vector<std::pair<int, float>> automation;
    float rate = 48000.0f;  // the host's sample rate; 0 as before a host tells it

    FakePlugin()
    {
        for (int id = 0; id < kParameterCount; ++id) {
            values[static_cast<std::size_t>(id)] = parameterInfo(id).defaultValue;
        }
    }
    float parameterValue(int id) override { return isValidParameterId(id) ? values[static_cast<std::size_t>(id)] : 0.0f; }
    // The plug-in's own door: clamped into the row, non-finite refused, normalised for the host.
    bool setPlainParameter(int id, float plain) override
    {
        const auto admitted = isValidParameterId(id) ? admittedPlainValue(parameterInfo(id), plain) : std::nullopt;
        if (!admitted) {
            return false;
        }
        const float normalized = plainToNormalized(id, *admitted);
        values[static_cast<std::size_t>(id)] = normalizedToPlain(id, normalized);
        automation.emplace_back(id, normalized);
        return true;
    }
    ParameterInfo parameterRow(int id) const override { return parameterInfo(id); }
    float sampleRate() override { return rate; }
    void setIndicator(int id, bool flag) override
    {
        if (id >= 0 && id < static_cast<int>(indicators.size())) {
            indicators[static_cast<std::size_t>(id)] = flag;
        }
    }
    bool indicator(int id) override
    {
        return id >= 0 && id < static_cast<int>(indicators.size()) && indicators[static_cast<std::size_t>(id)];
    }
};
