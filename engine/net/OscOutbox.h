#pragma once
// The scripts' outgoing OSC messages. sendOSC may run on the audio thread (a note
// handler), which must not look a name up, open a socket or wait, so it only copies the
// message into a fixed ring; a thread of the process's own ("lf-osc-send") takes it
// from there, finds the host's address without waiting (HostResolver) and sends it from
// a socket opened for that message. A message whose host is still being looked up waits
// at most OscNetwork::kLookupWait, behind it only later messages to the same host; the
// others go on. What cannot be sent is reported as one line on standard error:
//   sendOSC to <host>:<port>: <why>; message dropped
//
// The thread sleeps while nothing is queued and lives as long as the process (the ring
// is shared by every instance, so nothing is left pointing at an instance that is gone).
//
// Called on: post on any thread, the audio thread included (no lock, no allocation, no
// waiting); shared() first on a thread that may allocate (the OSC helper's constructor).

#include "engine/net/HostResolver.h"
#include "engine/net/OscNetwork.h"
#include "platform/MultiProducerRing.h"
#include "platform/WakeFlags.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace QN {

class OscOutbox {
public:
    static constexpr std::size_t kSlots = 64;  // a power of two
    static constexpr std::size_t kMaxMessageSize = 1024;
    static constexpr std::size_t kMaxHostLength = HostResolver::kMaxNameLength;
    // Messages held for hosts still being looked up; past that a message is dropped.
    static constexpr std::size_t kMaxWaiting = 64;

    enum class PostResult { Queued, HostTooLong, MessageTooLarge, QueueFull };

    // Starts the sending thread.
    explicit OscOutbox(OscNetwork& network);
    OscOutbox(const OscOutbox&) = delete;
    OscOutbox& operator=(const OscOutbox&) = delete;

    PostResult post(std::string_view host, int port, const char* data, std::size_t size);

    // The process's outbox on the real network, made on first use and never destroyed.
    static OscOutbox& shared();

private:
    using Clock = std::chrono::steady_clock;
    enum Wake : std::uint32_t { kPosted = 1, kLookupEnded = 2 };

    struct Outgoing {
        char host[kMaxHostLength + 1];
        int port;
        std::size_t size;
        char data[kMaxMessageSize];
    };
    struct Waiting {
        std::string host;
        int port;
        std::vector<char> data;
        Clock::time_point deadline;
    };

    void run();
    int msUntilFirstDeadline() const;
    void takePosted();
    void dispatch(const Outgoing& message);
    void serveWaiting();
    bool isWaitingFor(const std::string& host) const;
    void deliver(std::uint32_t address, const std::string& host, int port, const char* data, std::size_t size);
    static void report(const std::string& host, int port, const char* why);

    OscNetwork& network_;
    platform::MultiProducerRing<Outgoing, kSlots> ring_;
    platform::WakeFlags wake_;
    std::deque<Waiting> waiting_;  // the sending thread's own
};

}  // namespace QN
