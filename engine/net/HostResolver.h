#pragma once
// Looks host names up on a thread of its own ("lf-resolver") and keeps the answers, so
// that no thread that must stay responsive ever waits for the system's lookup, which can
// take many seconds when a name server does not answer (and has no time limit of its own
// per call).
//
// Answers are kept for a while: a found address kPositiveLifetime, a name that was not
// found kNegativeLifetime (so a peer or script that keeps naming an unknown host costs one
// lookup, not one per message). A found address past its lifetime is still given out
// while a fresh lookup runs. At most kMaxNames names are kept and kMaxQueued wait for a
// lookup; past that a new name counts as not found.
//
// The thread looks one name up at a time and sleeps while nothing is asked. It lives as
// long as the process: a lookup cannot be interrupted, so the thread is never joined.
//
// Called on: lookUpNow on any thread but the audio thread (it takes a short lock, never
// waits for a lookup); resolveWithin on threads that may wait; subscribe/unsubscribe on
// any thread but the audio thread.

#include "engine/net/HostLookup.h"
#include "platform/WakeFlags.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace QN {

class HostResolver {
public:
    using Clock = std::chrono::steady_clock;
    // The system's blocking lookup: the first IPv4 address of a name, or nothing.
    using SystemLookup = std::optional<std::uint32_t> (*)(const std::string& host);

    static constexpr auto kPositiveLifetime = std::chrono::minutes(5);
    static constexpr auto kNegativeLifetime = std::chrono::seconds(30);
    static constexpr std::size_t kMaxNames = 256;
    static constexpr std::size_t kMaxQueued = 64;
    static constexpr std::size_t kMaxNameLength = 253;  // the longest name DNS can carry

    // Starts the lookup thread.
    explicit HostResolver(SystemLookup lookup);
    HostResolver(const HostResolver&) = delete;
    HostResolver& operator=(const HostResolver&) = delete;

    // The kept answer for host, or Pending after asking the thread for it.
    HostLookup lookUpNow(const std::string& host);
    // The address of host, waiting at most timeout for the lookup; nothing when the name
    // has none or its lookup takes longer (it goes on, and its answer is kept).
    std::optional<std::uint32_t> resolveWithin(const std::string& host, std::chrono::milliseconds timeout);

    // flag is raised on flags whenever a lookup ends, until unsubscribe returns.
    void subscribe(platform::WakeFlags& flags, std::uint32_t flag);
    void unsubscribe(platform::WakeFlags& flags);

private:
    struct Entry {
        std::optional<std::uint32_t> address;
        Clock::time_point expires;
        bool looking = false;
        bool answered = false;
    };
    struct Subscriber {
        platform::WakeFlags* flags;
        std::uint32_t flag;
    };

    HostLookup lookUpLocked(const std::string& host, Clock::time_point now);
    bool askLocked(const std::string& host, Entry& entry);
    void forgetExpiredLocked(Clock::time_point now);
    void run();
    void store(const std::string& host, std::optional<std::uint32_t> address);

    SystemLookup lookup_;
    std::mutex mutex_;
    std::condition_variable asked_;
    std::condition_variable answered_;
    std::map<std::string, Entry> entries_;
    std::deque<std::string> queue_;
    std::vector<Subscriber> subscribers_;
};

}  // namespace QN
