#pragma once
// Host lookup and sending sockets, behind an interface so that the request handling
// can be driven without a network (tests, the packet fuzzer).
//
// Looking a name up can take seconds (a name server that does not answer), so the real
// network looks names up on a thread of its own: lookUpWithoutWaiting never waits and
// is what the OSC receive thread uses; resolve waits at most kLookupWait. The audio
// thread uses neither.

#include "engine/net/HostLookup.h"
#include "engine/net/OscDatagramChannel.h"
#include "engine/net/OscEndpoint.h"
#include "platform/WakeFlags.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace QN {

class OscNetwork {
public:
    // How long a thread that may wait waits for the answer of one lookup.
    static constexpr std::chrono::milliseconds kLookupWait{2000};

    virtual ~OscNetwork() = default;
    // The first IPv4 address of a dotted address or host name; nothing when unknown or
    // when the lookup takes longer than kLookupWait. Never on the audio or receive thread.
    virtual std::optional<std::uint32_t> resolve(const std::string& host) = 0;
    // What is known of host now; a Pending lookup goes on, and its end raises the flags
    // given to wakeOnLookups. A network that answers at once needs nothing more.
    virtual HostLookup lookUpWithoutWaiting(const std::string& host)
    {
        const std::optional<std::uint32_t> address = resolve(host);
        return address ? HostLookup::found(*address) : HostLookup::notFound();
    }
    virtual void wakeOnLookups(platform::WakeFlags& /*flags*/, std::uint32_t /*flag*/) {}
    // After it returns the flags are no longer raised.
    virtual void stopWakingOnLookups(platform::WakeFlags& /*flags*/) {}
    // A socket connected to the endpoint; null (with *error set) when none can be made.
    virtual std::unique_ptr<OscDatagramChannel> open(const OscEndpoint& to, const char** error) = 0;
    // True when address (host byte order) is one of this machine's own interface
    // addresses; the loopback range counts as this machine without asking.
    virtual bool isOwnAddress(std::uint32_t /*address*/) { return false; }
};

}  // namespace QN
