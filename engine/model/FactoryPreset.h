#pragma once
// The plug-in's one factory preset: a name and the values it sets explicitly; every
// value past the explicit ones takes the table default when the instance is built.

#include "engine/model/ParameterTable.h"

#include <array>

struct FactoryPreset {
    const char* name = "Defaults";
    int explicitValueCount = 0;
    std::array<float, kParameterCount> values{};

    // Fills every value past the explicit ones from the table defaults.
    void fillDefaults()
    {
        for (int id = explicitValueCount; id < kParameterCount; ++id) {
            values[static_cast<std::size_t>(id)] = parameterInfo(id).defaultValue;
        }
    }
};
