#pragma once
// The real network: POSIX UDP sockets and the system's host lookup.
// Called on: any thread (OSC, notify, and whichever thread runs sendOSC); keeps no state.

#include "osc/net/OscNetwork.h"

namespace QN {

class UdpOscNetwork : public OscNetwork {
public:
    std::optional<std::uint32_t> resolve(const std::string& host) override;
    std::unique_ptr<OscDatagramChannel> open(const OscEndpoint& to, const char** error) override;
    // Asks the system for the interface addresses each time (interfaces come and go).
    bool isOwnAddress(std::uint32_t address) override;

    // The process-wide instance (it has no state, so sharing it is safe).
    static UdpOscNetwork& shared();
};

}  // namespace QN
