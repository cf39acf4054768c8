#pragma once
// One listening socket and oscpack's receive loop over it. Datagrams (up to 4098 bytes)
// go to the packet listener until the loop is broken.
//
// Breaking: breakAsync() from another thread uses oscpack's asynchronous break. A break
// that arrives before run() has started would be forgotten by oscpack, so the loop also
// asks stillWanted() as soon as it starts and then every kRecheckMs; when that answers
// false the loop ends by itself.

#include <oscpack/ip/PacketListener.h>
#include <oscpack/ip/TimerListener.h>
#include <oscpack/ip/UdpSocket.h>

#include <cstdint>
#include <functional>

namespace QN {

class OscReceiveLoop : private TimerListener {
public:
    static constexpr int kRecheckMs = 250;

    // Binds (address, port); throws OscPortUnavailable when the port cannot be bound.
    // Called on: OSC thread.
    OscReceiveLoop(std::uint32_t address, int port, PacketListener& listener, std::function<bool()> stillWanted);
    ~OscReceiveLoop() override;
    OscReceiveLoop(const OscReceiveLoop&) = delete;
    OscReceiveLoop& operator=(const OscReceiveLoop&) = delete;

    // Called on: OSC thread. Returns when the loop is broken.
    void run();
    // Called on: any thread but the audio thread (writes to oscpack's break pipe).
    void breakAsync() { multiplexer_.AsynchronousBreak(); }

private:
    void TimerExpired() override;

    UdpSocket socket_;
    SocketReceiveMultiplexer multiplexer_;
    PacketListener& listener_;
    std::function<bool()> stillWanted_;
};

}  // namespace QN
