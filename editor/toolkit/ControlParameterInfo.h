#pragma once

#include "engine/model/ParameterInfo.h"

#include <string>

namespace QN {

class PluginConnection;

// The editor's copy of one parameter-table row plus its id; every parameter control
// holds one.
struct ControlParameterInfo {
    int index = 0;
    std::string name;
    ParameterUnit unit = ParameterUnit::Generic;
    float minValue = 0.0f;
    float maxValue = 0.0f;
    float defaultValue = 0.0f;
    PluginConnection* plugin = nullptr;

    // A row whose range and default are all zero carries nothing a control could show.
    [[nodiscard]] bool isInert() const { return minValue == 0.0f && maxValue == 0.0f && defaultValue == 0.0f; }
    // 0..1 position of a plain value: logarithmic for hertz, linear otherwise.
    [[nodiscard]] float normalized(float plain) const;
};

}  // namespace QN
