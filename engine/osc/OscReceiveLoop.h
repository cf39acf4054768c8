#pragma once
// One listening socket and oscpack's receive loop over it. Datagrams (up to 4098 bytes)
// go to the packet listener until the loop is broken.
//
// Breaking: breakAsync() from another thread uses oscpack's asynchronous break. A break
// that arrives before run() has started would be forgotten by oscpack, so the loop also
// asks stillWanted() once it runs, and ends by itself when that answers false. The owner
// publishes the loop before run(), so every later request breaks it: the loop needs no
// periodic look and sleeps until a datagram or a break arrives.

#include <oscpack/ip/PacketListener.h>
#include <oscpack/ip/TimerListener.h>
#include <oscpack/ip/UdpSocket.h>

#include <cstdint>
#include <functional>

namespace QN {

class OscReceiveLoop : private TimerListener {
public:
    // oscpack's timers are periodic only: the first look is at once, and the next one so
    // far off that an idle server never sees it.
    static constexpr int kLaterLookMs = 24 * 60 * 60 * 1000;

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
