#include "platform/TimerQueue.h"

#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLongWaitMs = 5000;

struct Probe {
    std::atomic<int> calls{0};
    int signalAt = 1;
    platform::Event reached;
};

void countCall(void* user) {
    Probe& probe = *static_cast<Probe*>(user);
    if (++probe.calls == probe.signalAt) probe.reached.set();
}

// A later one-shot timer: once it has fired, every earlier-due firing has
// happened, because the single worker runs timers in due order.
void waitForSentinel(platform::TimerQueue& queue, std::uint32_t dueMs) {
    Probe sentinel;
    ASSERT_NE(queue.createTimer(countCall, &sentinel, dueMs, 0), 0u);
    ASSERT_TRUE(sentinel.reached.wait(kLongWaitMs));
}

TEST(TimerQueue, OneShotFiresOnceAfterItsDueTime) {
    platform::TimerQueue queue;
    Probe probe;
    const Clock::time_point start = Clock::now();
    ASSERT_NE(queue.createTimer(countCall, &probe, 30, 0), 0u);
    ASSERT_TRUE(probe.reached.wait(kLongWaitMs));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
    waitForSentinel(queue, 60);
    EXPECT_EQ(probe.calls.load(), 1);
}

TEST(TimerQueue, PeriodicTimerKeepsFiring) {
    platform::TimerQueue queue;
    Probe probe;
    probe.signalAt = 5;
    ASSERT_NE(queue.createTimer(countCall, &probe, 5, 5), 0u);
    EXPECT_TRUE(probe.reached.wait(kLongWaitMs));
}

// The scripting layer creates timers far in the future and then changes the
// due time, so a callback never sees a record without its handle.
TEST(TimerQueue, ChangeMovesTheDueTimeOfAPendingTimer) {
    platform::TimerQueue queue;
    Probe probe;
    const platform::TimerQueue::TimerId id = queue.createTimer(countCall, &probe, 1000000, 0);
    ASSERT_TRUE(queue.changeTimer(id, 10, 0));
    EXPECT_TRUE(probe.reached.wait(kLongWaitMs));
}

TEST(TimerQueue, ChangeArmsAOneShotThatHasFiredAgain) {
    platform::TimerQueue queue;
    Probe probe;
    const platform::TimerQueue::TimerId id = queue.createTimer(countCall, &probe, 0, 0);
    ASSERT_TRUE(probe.reached.wait(kLongWaitMs));
    probe.signalAt = 2;
    ASSERT_TRUE(queue.changeTimer(id, 0, 0));
    EXPECT_TRUE(probe.reached.wait(kLongWaitMs));
}

TEST(TimerQueue, UnknownOrDeletedTimersCannotBeChanged) {
    platform::TimerQueue queue;
    Probe probe;
    const platform::TimerQueue::TimerId id = queue.createTimer(countCall, &probe, 1000000, 0);
    EXPECT_FALSE(queue.changeTimer(id + 1, 0, 0));
    queue.deleteTimer(id);
    EXPECT_FALSE(queue.changeTimer(id, 0, 0));
    EXPECT_EQ(queue.createTimer(nullptr, nullptr, 0, 0), 0u);
}

TEST(TimerQueue, DeletedTimerNeverFires) {
    platform::TimerQueue queue;
    Probe probe;
    queue.deleteTimer(queue.createTimer(countCall, &probe, 20, 5));
    waitForSentinel(queue, 60);
    EXPECT_EQ(probe.calls.load(), 0);
}

struct SelfDeleting {
    platform::TimerQueue* queue = nullptr;
    platform::TimerQueue::TimerId id = 0;
    std::atomic<int> calls{0};
    platform::Event fired;
};

void deleteOwnTimer(void* user) {
    SelfDeleting& self = *static_cast<SelfDeleting*>(user);
    ++self.calls;
    self.queue->deleteTimer(self.id);
    self.fired.set();
}

TEST(TimerQueue, PeriodicTimerCanDeleteItselfFromItsCallback) {
    platform::TimerQueue queue;
    SelfDeleting self;
    self.queue = &queue;
    self.id = queue.createTimer(deleteOwnTimer, &self, 1000000, 5);
    ASSERT_TRUE(queue.changeTimer(self.id, 0, 5));
    ASSERT_TRUE(self.fired.wait(kLongWaitMs));
    waitForSentinel(queue, 40);
    EXPECT_EQ(self.calls.load(), 1);
}

TEST(TimerQueue, CallbackCanCreateAnotherTimer) {
    struct Chain {
        platform::TimerQueue* queue;
        Probe second;
    } chain;
    platform::TimerQueue queue;
    chain.queue = &queue;
    queue.createTimer([](void* user) {
        Chain& c = *static_cast<Chain*>(user);
        c.queue->createTimer(countCall, &c.second, 0, 0);
    }, &chain, 0, 0);
    EXPECT_TRUE(chain.second.reached.wait(kLongWaitMs));
}

struct Slow {
    platform::Event entered;
    platform::Event neverSet;
    std::atomic<bool> finished{false};
};

TEST(TimerQueue, DestructorWaitsForARunningCallback) {
    Slow slow;
    auto queue = std::make_unique<platform::TimerQueue>();
    queue->createTimer([](void* user) {
        Slow& s = *static_cast<Slow*>(user);
        s.entered.set();
        (void)s.neverSet.wait(100);  // keeps the callback busy for a while
        s.finished = true;
    }, &slow, 0, 0);
    ASSERT_TRUE(slow.entered.wait(kLongWaitMs));
    queue.reset();
    EXPECT_TRUE(slow.finished.load());
}

}  // namespace
