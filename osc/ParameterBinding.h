#pragma once
// One parameter driven by a script-registered OSC address: plain = x * scale + offset.

namespace QN {

struct ParameterBinding {
    int index = 0;
    float offset = 0.0f;
    float scale = 1.0f;
};

}  // namespace QN
