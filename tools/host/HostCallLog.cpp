#include "tools/host/HostCallLog.h"

#include <algorithm>
#include <chrono>

namespace lfhost {

void HostCallLog::record(const HostCall& call)
{
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
    }
    changed_.notify_all();
}

std::vector<HostCall> HostCallLog::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

void HostCallLog::clear()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

int HostCallLog::count(int opcode) const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [opcode](const HostCall& c) { return c.opcode == opcode; }));
}

bool HostCallLog::waitFor(int opcode, int index, int timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return containsLocked(opcode, index); });
}

bool HostCallLog::containsLocked(int opcode, int index) const
{
    return std::any_of(calls_.begin(), calls_.end(), [&](const HostCall& c) {
        return c.opcode == opcode && (index == kAnyIndex || c.index == index);
    });
}

}  // namespace lfhost
