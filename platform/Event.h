#pragma once

#include <mutex>
#include <vector>

namespace platform {

// An auto-reset event: set() leaves it signalled until exactly one waiter takes
// the signal, which resets it. Setting an event that is already signalled does
// nothing (signals do not count up).
//
// Several threads may wait on the same event, alone or as part of waitAny, at
// the same time. Each waiting thread registers a private wake-up record with
// every event it waits on; set() wakes the registered records, and the woken
// threads then race to take the signal under the event's own mutex, so exactly
// one of them gets it and the others go back to waiting.
//
// Called on: any thread. An Event must outlive every wait on it.
class Event {
public:
    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Never allocates, but takes the event's mutex: the audio thread wakes threads
    // through WakeFlags instead.
    void set();

    // True when the event was signalled within timeoutMs (which took the
    // signal); timeoutMs < 0 waits for ever.
    bool wait(int timeoutMs);

    // Waits until any of the events is signalled. Returns the index of the
    // first signalled event in the array (only that one is reset), or -1 after
    // timeoutMs (< 0: for ever) or when count is not positive.
    static int waitAny(Event* const* events, int count, int timeoutMs);

private:
    struct Waiter;
    static constexpr int kRegistered = -2;

    static int takeFirstOrRegisterAll(Event* const* events, int count, Waiter* waiter);
    bool takeSignal();
    bool takeSignalOrRegister(Waiter* waiter);
    void unregister(Waiter* waiter);

    std::mutex mutex_;
    bool signalled_ = false;
    std::vector<Waiter*> waiters_;
};

}  // namespace platform
