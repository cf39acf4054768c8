#include "engine/net/HostResolver.h"

#include "platform/ThreadName.h"

#include <thread>

namespace QN {

HostResolver::HostResolver(SystemLookup lookup) : lookup_(lookup)
{
    // Never joined: a lookup cannot be interrupted, and the process may end during one.
    std::thread([this] { run(); }).detach();
}

HostLookup HostResolver::lookUpNow(const std::string& host)
{
    if (host.empty() || host.size() > kMaxNameLength) {
        return HostLookup::notFound();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return lookUpLocked(host, Clock::now());
}

std::optional<std::uint32_t> HostResolver::resolveWithin(const std::string& host, std::chrono::milliseconds timeout)
{
    if (host.empty() || host.size() > kMaxNameLength) {
        return std::nullopt;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const HostLookup known = lookUpLocked(host, Clock::now());
        if (known.state != HostLookup::State::Pending) {
            return known.state == HostLookup::State::Found ? std::optional<std::uint32_t>(known.address)
                                                           : std::nullopt;
        }
        if (answered_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return std::nullopt;
        }
    }
}

void HostResolver::subscribe(platform::WakeFlags& flags, std::uint32_t flag)
{
    std::lock_guard<std::mutex> lock(mutex_);
    subscribers_.push_back(Subscriber{&flags, flag});
}

void HostResolver::unsubscribe(platform::WakeFlags& flags)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(subscribers_, [&flags](const Subscriber& s) { return s.flags == &flags; });
}

// A kept answer within its lifetime is given as it is; past it, a found address is still
// given while a fresh lookup runs, and a name that was not found is looked up again.
HostLookup HostResolver::lookUpLocked(const std::string& host, Clock::time_point now)
{
    auto it = entries_.find(host);
    if (it == entries_.end()) {
        if (entries_.size() >= kMaxNames) {
            forgetExpiredLocked(now);
        }
        if (entries_.size() >= kMaxNames) {
            return HostLookup::notFound();
        }
        it = entries_.emplace(host, Entry{}).first;
    }
    Entry& entry = it->second;
    const bool fresh = entry.answered && now < entry.expires;
    if (!fresh && !entry.looking && !askLocked(host, entry) && !entry.answered) {
        entries_.erase(it);
        return HostLookup::notFound();
    }
    if (entry.answered && entry.address) {
        return HostLookup::found(*entry.address);
    }
    return fresh ? HostLookup::notFound() : HostLookup::pending();
}

bool HostResolver::askLocked(const std::string& host, Entry& entry)
{
    if (queue_.size() >= kMaxQueued) {
        return false;
    }
    queue_.push_back(host);
    entry.looking = true;
    asked_.notify_one();
    return true;
}

void HostResolver::forgetExpiredLocked(Clock::time_point now)
{
    std::erase_if(entries_, [now](const auto& kept) {
        return !kept.second.looking && kept.second.answered && kept.second.expires <= now;
    });
}

void HostResolver::run()
{
    platform::nameThisThread("lf-resolver");
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        asked_.wait(lock, [this] { return !queue_.empty(); });
        const std::string host = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        std::optional<std::uint32_t> address;
        try {
            address = lookup_(host);
        } catch (...) {
            address.reset();
        }
        lock.lock();
        store(host, address);
    }
}

// Called on: the lookup thread, holding the lock.
void HostResolver::store(const std::string& host, std::optional<std::uint32_t> address)
{
    Entry& entry = entries_[host];
    entry.address = address;
    entry.answered = true;
    entry.looking = false;
    entry.expires = Clock::now() + (address ? Clock::duration(kPositiveLifetime) : Clock::duration(kNegativeLifetime));
    answered_.notify_all();
    for (const Subscriber& subscriber : subscribers_) {
        subscriber.flags->raise(subscriber.flag);
    }
}

}  // namespace QN
