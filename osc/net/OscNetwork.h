#pragma once
// Name resolution and sending sockets, behind an interface so that the request handling
// can be driven without a network (tests, the packet fuzzer).

#include "osc/net/OscDatagramChannel.h"
#include "osc/net/OscEndpoint.h"

#include <memory>
#include <optional>
#include <string>

namespace QN {

class OscNetwork {
public:
    virtual ~OscNetwork() = default;
    // The first IPv4 address of a dotted address or host name; nothing when unknown.
    virtual std::optional<std::uint32_t> resolve(const std::string& host) = 0;
    // A socket connected to the endpoint; null (with *error set) when none can be made.
    virtual std::unique_ptr<OscDatagramChannel> open(const OscEndpoint& to, const char** error) = 0;
    // True when address (host byte order) is one of this machine's own interface
    // addresses; the loopback range counts as this machine without asking.
    virtual bool isOwnAddress(std::uint32_t /*address*/) { return false; }
};

}  // namespace QN
