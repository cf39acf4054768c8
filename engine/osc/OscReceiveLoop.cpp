#include "engine/osc/OscReceiveLoop.h"

#include "engine/osc/OscPortUnavailable.h"

#include <cerrno>

namespace QN {

OscReceiveLoop::OscReceiveLoop(std::uint32_t address, int port, PacketListener& listener,
                               std::function<bool()> stillWanted)
    : listener_(listener), stillWanted_(std::move(stillWanted))
{
    try {
        socket_.Bind(IpEndpointName(static_cast<unsigned long>(address), port));
    } catch (const std::runtime_error&) {
        // oscpack's text names neither the port nor the reason; the failed bind's errno
        // is still set (nothing between them fails).
        throw OscPortUnavailable(port, errno);
    }
    multiplexer_.AttachSocketListener(&socket_, &listener_);
    multiplexer_.AttachPeriodicTimerListener(0, kLaterLookMs, this);
}

OscReceiveLoop::~OscReceiveLoop()
{
    multiplexer_.DetachPeriodicTimerListener(this);
    multiplexer_.DetachSocketListener(&socket_, &listener_);
}

void OscReceiveLoop::run() { multiplexer_.Run(); }

void OscReceiveLoop::TimerExpired()
{
    if (!stillWanted_()) {
        multiplexer_.Break();
    }
}

}  // namespace QN
