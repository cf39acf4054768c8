#include "engine/osc/OscPortUnavailable.h"

#include <cerrno>
#include <string>
#include <system_error>

namespace QN {
namespace {

std::string reasonFor(int errorNumber)
{
    switch (errorNumber) {
    case EADDRINUSE: return "is in use (another instance?)";
    case EACCES: return "needs root (ports below 1024 do)";
    case EADDRNOTAVAIL: return "cannot be opened on the \"OSC Bind Address\" (not an address of this computer)";
    default: return "cannot be opened (" + std::generic_category().message(errorNumber) + ")";
    }
}

std::string describe(int port, int errorNumber)
{
    return "Lumenfold: OSC port " + std::to_string(port) + " " + reasonFor(errorNumber) +
           ": OSC is off for this instance; choose another \"OSC Port Offset\"";
}

}  // namespace

OscPortUnavailable::OscPortUnavailable(int port, int errorNumber) : std::runtime_error(describe(port, errorNumber)) {}

}  // namespace QN
