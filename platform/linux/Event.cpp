#include "platform/Event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>

namespace platform {

// The wake-up record of one waiting thread, registered with every event it
// waits on. Lives on the waiting thread's stack; it is unregistered from all
// events (under their mutexes) before it goes away, so set() never touches a
// dead record.
struct Event::Waiter {
    std::mutex mutex;
    std::condition_variable wake;
    bool woken = false;
};

namespace {

using Clock = std::chrono::steady_clock;

// Lock order: an event's mutex, then a waiter's mutex; a waiting thread never
// holds an event's mutex while it sleeps.
bool sleepUntilWoken(std::mutex& mutex, std::condition_variable& wake, bool& woken,
                     bool forever, Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    if (forever) {
        wake.wait(lock, [&] { return woken; });
    } else {
        wake.wait_until(lock, deadline, [&] { return woken; });
    }
    const bool result = woken;
    woken = false;
    return result;
}

}  // namespace

void Event::set() {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = true;
    for (Waiter* waiter : waiters_) {
        {
            std::lock_guard<std::mutex> waiterGuard(waiter->mutex);
            waiter->woken = true;
        }
        waiter->wake.notify_one();
    }
}

bool Event::wait(int timeoutMs) {
    Event* self = this;
    return waitAny(&self, 1, timeoutMs) == 0;
}

bool Event::takeSignal() {
    std::lock_guard<std::mutex> guard(mutex_);
    const bool was = signalled_;
    signalled_ = false;
    return was;
}

bool Event::takeSignalOrRegister(Waiter* waiter) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (signalled_) {
        signalled_ = false;
        return true;
    }
    waiters_.push_back(waiter);
    return false;
}

void Event::unregister(Waiter* waiter) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = std::find(waiters_.begin(), waiters_.end(), waiter);
    if (found != waiters_.end()) waiters_.erase(found);
}

// Takes the first signal, or registers the waiter with every event so that no
// set() between this scan and the sleep is missed. Registration allocates; if
// that fails the waiter is unregistered again and the wait ends as a time-out.
int Event::takeFirstOrRegisterAll(Event* const* events, int count, Waiter* waiter) {
    int index = 0;
    bool taken = false;
    try {
        while (index < count && !(taken = events[index]->takeSignalOrRegister(waiter))) ++index;
    } catch (...) {
        // events[index] did not register the waiter; the earlier ones did.
    }
    if (!taken && index == count) return kRegistered;
    for (int i = 0; i < index; ++i) events[i]->unregister(waiter);
    return taken ? index : -1;
}

int Event::waitAny(Event* const* events, int count, int timeoutMs) {
    if (events == nullptr || count <= 0) return -1;
    const bool forever = timeoutMs < 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    Waiter waiter;
    for (;;) {
        const int taken = takeFirstOrRegisterAll(events, count, &waiter);
        if (taken != kRegistered) return taken;
        const bool woken = sleepUntilWoken(waiter.mutex, waiter.wake, waiter.woken, forever, deadline);
        for (int i = 0; i < count; ++i) events[i]->unregister(&waiter);
        if (!woken) break;
        // Woken: another waiter may have taken the signal first; scan again.
    }
    // Timed out; a signal that arrived at the last moment still counts.
    for (int i = 0; i < count; ++i)
        if (events[i]->takeSignal()) return i;
    return -1;
}

}  // namespace platform
