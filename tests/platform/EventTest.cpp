#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLongWaitMs = 5000;  // only reached when a wake-up is lost

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(Event, WaitTakesASignalAndResetsTheEvent) {
    platform::Event event;
    event.set();
    event.set();  // signals do not count up
    EXPECT_TRUE(event.wait(0));
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(event.wait(30));
    EXPECT_GE(millisecondsSince(start), 30);
}

TEST(Event, SetWakesAThreadWaitingForever) {
    platform::Event event;
    std::future<bool> waiter = std::async(std::launch::async, [&] { return event.wait(-1); });
    event.set();
    ASSERT_EQ(waiter.wait_for(std::chrono::milliseconds(kLongWaitMs)), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
}

TEST(Event, OneSetReleasesOnlyOneOfTwoWaiters) {
    platform::Event event;
    auto waitBriefly = [&] { return event.wait(300); };
    std::future<bool> first = std::async(std::launch::async, waitBriefly);
    std::future<bool> second = std::async(std::launch::async, waitBriefly);
    event.set();
    EXPECT_EQ(int(first.get()) + int(second.get()), 1);
}

TEST(Event, WaitAnyGivesTheFirstSignalledIndexAndResetsOnlyThatEvent) {
    platform::Event a, b, c;
    b.set();
    c.set();
    platform::Event* events[] = {&a, &b, &c};
    EXPECT_EQ(platform::Event::waitAny(events, 3, 0), 1);
    EXPECT_FALSE(b.wait(0));
    EXPECT_TRUE(c.wait(0));
}

TEST(Event, WaitAnyTimesOutWithMinusOne) {
    platform::Event a, b;
    platform::Event* events[] = {&a, &b};
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(platform::Event::waitAny(events, 2, 30), -1);
    EXPECT_GE(millisecondsSince(start), 30);
    EXPECT_EQ(platform::Event::waitAny(events, 0, 0), -1);
}

TEST(Event, WaitAnyWakesForALaterEventSetByAnotherThread) {
    platform::Event a, b, c;
    platform::Event* events[] = {&a, &b, &c};
    std::future<int> waiter =
        std::async(std::launch::async, [&] { return platform::Event::waitAny(events, 3, kLongWaitMs); });
    c.set();
    EXPECT_EQ(waiter.get(), 2);
}

// The same event waited on by a waitAny and by a plain wait: each set goes to
// exactly one of them and neither is left behind.
TEST(Event, WaitAnySharesAnEventWithAnotherWaiter) {
    platform::Event a, shared, finished;
    platform::Event* events[] = {&a, &shared};
    std::future<int> anyWaiter = std::async(std::launch::async, [&] {
        const int index = platform::Event::waitAny(events, 2, kLongWaitMs);
        finished.set();
        return index;
    });
    std::future<bool> plainWaiter = std::async(std::launch::async, [&] {
        const bool taken = shared.wait(kLongWaitMs);
        finished.set();
        return taken;
    });
    shared.set();
    ASSERT_TRUE(finished.wait(kLongWaitMs));
    shared.set();
    EXPECT_EQ(anyWaiter.get(), 1);
    EXPECT_TRUE(plainWaiter.get());
}

// Ping-pong through waitAny: a lost wake-up shows as a time-out.
TEST(Event, NoWakeUpIsLostUnderRepeatedHandOver) {
    platform::Event requests[3], reply;
    platform::Event* events[] = {&requests[0], &requests[1], &requests[2]};
    constexpr int kRounds = 2000;
    std::atomic<int> wrongIndex{0};
    std::thread server([&] {
        for (int round = 0; round < kRounds; ++round) {
            if (platform::Event::waitAny(events, 3, kLongWaitMs) != round % 3) ++wrongIndex;
            reply.set();
        }
    });
    int timeouts = 0;
    for (int round = 0; round < kRounds; ++round) {
        requests[round % 3].set();
        if (!reply.wait(kLongWaitMs)) ++timeouts;
    }
    server.join();
    EXPECT_EQ(timeouts, 0);
    EXPECT_EQ(wrongIndex.load(), 0);
}

}  // namespace
