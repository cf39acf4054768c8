#pragma once
// A UDP socket connected to one remote endpoint. Its source port is not the listening
// port; it is closed when the channel goes away.

#include <cstddef>
#include <cstdint>

namespace QN {

class OscDatagramChannel {
public:
    virtual ~OscDatagramChannel() = default;
    // False when the datagram could not be handed to the network.
    [[nodiscard]] virtual bool send(const char* data, std::size_t size) = 0;
    // The local interface address (host byte order) that leads to the remote endpoint.
    virtual std::uint32_t localAddress() const = 0;
};

}  // namespace QN
