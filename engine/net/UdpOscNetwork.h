#pragma once
// The real network: POSIX UDP sockets and the system's host lookup, which runs on the
// process's one HostResolver thread. Dotted addresses and "localhost" need no lookup.
// Called on: any thread but the audio thread (OSC, notify, the OSC send thread).

#include "engine/net/OscNetwork.h"

namespace QN {

class HostResolver;

class UdpOscNetwork : public OscNetwork {
public:
    std::optional<std::uint32_t> resolve(const std::string& host) override;
    HostLookup lookUpWithoutWaiting(const std::string& host) override;
    void wakeOnLookups(platform::WakeFlags& flags, std::uint32_t flag) override;
    void stopWakingOnLookups(platform::WakeFlags& flags) override;
    std::unique_ptr<OscDatagramChannel> open(const OscEndpoint& to, const char** error) override;
    // Asks the system for the interface addresses each time (interfaces come and go).
    bool isOwnAddress(std::uint32_t address) override;

    // The process-wide instance (it has no state of its own, so sharing it is safe).
    static UdpOscNetwork& shared();

private:
    // The process's resolver, made on first use and kept until the process ends.
    static HostResolver& resolver();
};

}  // namespace QN
