#pragma once
// One parameter driven by a script-registered OSC address: the value received is the
// plain value, or with `normalized` a 0..1 position in the parameter's range as the
// instance has it when the message arrives.

namespace QN {

struct ParameterBinding {
    int index = 0;
    bool normalized = false;
};

}  // namespace QN
