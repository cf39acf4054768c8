#include "engine/osc/PendingReplies.h"

#include "engine/osc/OscLog.h"

#include <oscpack/osc/OscException.h>

#include <algorithm>
#include <vector>

namespace QN {

bool PendingReplies::park(std::string request, std::string host, Answer answer)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (waiting_.size() >= kMaxWaiting) {
            return false;
        }
        waiting_.push_back(
            Waiting{std::move(request), std::move(host), std::move(answer), Clock::now() + OscNetwork::kLookupWait});
    }
    wake_.raise(flag_);
    return true;
}

void PendingReplies::serve(OscNetwork& network)
{
    std::vector<std::pair<Waiting, HostLookup>> ready;
    {
        const Clock::time_point now = Clock::now();
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            const HostLookup known = network.lookUpWithoutWaiting(it->host);
            if (known.state == HostLookup::State::Pending && now < it->deadline) {
                ++it;
                continue;
            }
            ready.emplace_back(std::move(*it), known);
            it = waiting_.erase(it);
        }
    }
    // Outside the lock: answering opens sockets and may take the registry's lock.
    for (const auto& [waiting, known] : ready) {
        finish(waiting, known);
    }
}

void PendingReplies::finish(const Waiting& waiting, const HostLookup& known)
{
    try {
        switch (known.state) {
        case HostLookup::State::Found: waiting.answer(known.address); break;
        case HostLookup::State::NotFound: throw osc::Exception("cannot resolve reply host");
        case HostLookup::State::Pending: throw osc::Exception("reply host lookup took too long");
        }
    } catch (const std::exception& error) {
        OscLog::messageError(waiting.request, error.what());
    }
}

int PendingReplies::msUntilFirstDeadline() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.empty()) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(waiting_.front().deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

void PendingReplies::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.clear();
}

}  // namespace QN
