#pragma once
// The instance's OSC port could not be opened. Its text is the one line the user reads
// on standard output: which port, why, and what to change; the instance goes on without
// OSC until its port changes.

#include <stdexcept>

namespace QN {

class OscPortUnavailable : public std::runtime_error {
public:
    // errorNumber: the errno of the failed bind.
    OscPortUnavailable(int port, int errorNumber);
};

}  // namespace QN
