#pragma once
// Answers whose reply host is a name still being looked up. The OSC thread never waits
// for a lookup: it leaves the answer here and goes on with the next request; the notify
// thread finishes it once the lookup ends (HostResolver wakes it), or drops it with an
// error line of the request's address after OscNetwork::kLookupWait. At most kMaxWaiting
// answers wait; past that the request is refused.
//
// Called on: park on the OSC thread; serve, msUntilFirstDeadline and clear on the notify
// thread (and the host thread in Stop, once the notify thread has ended).

#include "engine/net/OscNetwork.h"
#include "platform/WakeFlags.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace QN {

class PendingReplies {
public:
    static constexpr std::size_t kMaxWaiting = 64;
    // Runs on the notify thread with the host's address; what it throws is logged.
    using Answer = std::function<void(std::uint32_t address)>;

    // wake/flag: raised when an answer is parked, so the notify thread starts counting
    // its time.
    PendingReplies(platform::WakeFlags& wake, std::uint32_t flag) : wake_(wake), flag_(flag) {}

    // request: the OSC address the answer belongs to (for its error line). False when
    // kMaxWaiting answers wait already.
    bool park(std::string request, std::string host, Answer answer);
    // Runs the answers whose host is known now, drops those that cannot be answered.
    void serve(OscNetwork& network);
    // -1 when nothing waits.
    int msUntilFirstDeadline() const;
    void clear();

private:
    using Clock = std::chrono::steady_clock;
    struct Waiting {
        std::string request;
        std::string host;
        Answer answer;
        Clock::time_point deadline;
    };

    static void finish(const Waiting& waiting, const HostLookup& known);

    platform::WakeFlags& wake_;
    std::uint32_t flag_;
    mutable std::mutex mutex_;
    std::deque<Waiting> waiting_;
};

}  // namespace QN
