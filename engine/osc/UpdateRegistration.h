#pragma once
// A remote peer's request to be told about changes of one parameter.

#include "engine/net/OscEndpoint.h"

#include <string>

namespace QN {

struct UpdateRegistration {
    int index = 0;
    OscEndpoint endpoint;
    std::string path;

    friend bool operator==(const UpdateRegistration&, const UpdateRegistration&) = default;
};

}  // namespace QN
