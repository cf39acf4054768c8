#include "platform/TimerQueue.h"

#include "platform/ThreadName.h"

#include <system_error>

namespace platform {

// Called on: the thread that makes the owner (the plug-in's construction).
TimerQueue::TimerQueue() {
    try {
        worker_ = std::thread([this] { run(); });
        workerStarted_ = true;
    } catch (const std::system_error&) {
        // No worker: createTimer reports the failure by returning 0.
    }
}

// Called on: the owner's thread, never from a callback (it would join itself).
TimerQueue::~TimerQueue() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
        timers_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

// Called on: any thread, callbacks included.
TimerQueue::TimerId TimerQueue::createTimer(Callback cb, void* user, std::uint32_t dueMs,
                                            std::uint32_t periodMs) {
    if (cb == nullptr) return 0;
    TimerId id = 0;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!workerStarted_ || stopping_) return 0;
        id = nextId_++;
        timers_[id] = Timer{cb, user, Clock::now() + std::chrono::milliseconds(dueMs),
                            std::chrono::milliseconds(periodMs), true};
    }
    wake_.notify_all();
    return id;
}

// Called on: any thread, callbacks included.
bool TimerQueue::changeTimer(TimerId id, std::uint32_t dueMs, std::uint32_t periodMs) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto found = timers_.find(id);
        if (found == timers_.end()) return false;
        found->second.due = Clock::now() + std::chrono::milliseconds(dueMs);
        found->second.period = std::chrono::milliseconds(periodMs);
        found->second.armed = true;
    }
    wake_.notify_all();
    return true;
}

// Called on: any thread, the timer's own callback included.
void TimerQueue::deleteTimer(TimerId id) {
    std::lock_guard<std::mutex> guard(mutex_);
    timers_.erase(id);
}

std::map<TimerQueue::TimerId, TimerQueue::Timer>::iterator TimerQueue::earliestArmed() {
    auto earliest = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.armed && (earliest == timers_.end() || it->second.due < earliest->second.due))
            earliest = it;
    }
    return earliest;
}

// Called on: the worker thread, with the lock held. Runs the earliest timer
// when it is due (releasing the lock around the callback); otherwise sleeps
// until it is due or the timers change. False when there was nothing to run.
bool TimerQueue::runDueTimer(std::unique_lock<std::mutex>& lock) {
    const auto timer = earliestArmed();
    if (timer == timers_.end()) {
        wake_.wait(lock);
        return false;
    }
    const Clock::time_point now = Clock::now();
    if (timer->second.due > now) {
        // A copy: the timer may be changed or deleted while the lock is free.
        const Clock::time_point due = timer->second.due;
        wake_.wait_until(lock, due);
        return false;
    }
    const Callback callback = timer->second.callback;
    void* const user = timer->second.user;
    if (timer->second.period.count() > 0) {
        // Ticks missed behind a slow callback are skipped, not run in a burst.
        timer->second.due += timer->second.period;
        if (timer->second.due <= now) timer->second.due = now + timer->second.period;
    } else {
        timer->second.armed = false;
    }
    lock.unlock();
    try {
        callback(user);
    } catch (...) {
        // A callback must not end the worker and with it every other timer.
    }
    lock.lock();
    return true;
}

// Called on: the worker thread.
void TimerQueue::run() {
    nameThisThread("lf-timers");
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) runDueTimer(lock);
}

}  // namespace platform
