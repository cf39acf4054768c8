#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

namespace platform {

// Millisecond timers whose callbacks run on one worker thread of the queue.
//
// A timer is armed with a first due time and a period (0 = one-shot). A
// one-shot timer that has fired stays known to the queue, unarmed, until it is
// deleted, so changeTimer can arm it again and deleteTimer on it is harmless.
//
// Threads: createTimer, changeTimer and deleteTimer may be called on any thread,
// including from inside a callback (the worker holds no queue lock while a
// callback runs). Callbacks run on the worker thread, one at a time. The
// destructor must not be called from a callback.
class TimerQueue {
public:
    using Callback = void (*)(void* user);
    using TimerId = std::uint64_t;

    TimerQueue();
    // Waiting delete of the whole queue: timers stop, a callback that is
    // running is waited for, then the worker thread is joined.
    ~TimerQueue();
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    // Arms a new timer that first fires dueMs from now, then every periodMs.
    // Returns 0 when the callback is null or the worker could not be started.
    TimerId createTimer(Callback cb, void* user, std::uint32_t dueMs, std::uint32_t periodMs);

    // Re-arms the timer: next firing dueMs from now, then every periodMs.
    // False when the timer is unknown (never created or deleted).
    bool changeTimer(TimerId id, std::uint32_t dueMs, std::uint32_t periodMs);

    // Non-waiting delete: once it returns the timer never starts again. A call
    // of its callback that is already running is not waited for, which makes
    // it safe to call from inside that callback.
    void deleteTimer(TimerId id);

private:
    using Clock = std::chrono::steady_clock;

    struct Timer {
        Callback callback;
        void* user;
        Clock::time_point due;
        std::chrono::milliseconds period;
        bool armed;
    };

    void run();
    bool runDueTimer(std::unique_lock<std::mutex>& lock);
    std::map<TimerId, Timer>::iterator earliestArmed();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<TimerId, Timer> timers_;
    TimerId nextId_ = 1;
    bool stopping_ = false;
    bool workerStarted_ = false;
    std::thread worker_;
};

}  // namespace platform
