#pragma once
// The ordered record of every host callback a plug-in instance made. Plug-ins call the
// host from any thread they own (audio, OSC, timers), so every member is thread-safe;
// waiters are woken through a condition variable, never by polling.

#include "tools/host/HostCall.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace lfhost {

class HostCallLog {
public:
    // Called on: any plug-in thread.
    void record(const HostCall& call);

    // Called on: any thread.
    [[nodiscard]] std::vector<HostCall> calls() const;
    void clear();
    [[nodiscard]] int count(int opcode) const;

    // True once a call with this opcode (and index, unless index is kAnyIndex) is in the
    // log, false when timeoutMs passes first. Calls recorded before clear() do not count.
    static constexpr int kAnyIndex = -1;
    [[nodiscard]] bool waitFor(int opcode, int index, int timeoutMs) const;

private:
    [[nodiscard]] bool containsLocked(int opcode, int index) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<HostCall> calls_;
};

}  // namespace lfhost
