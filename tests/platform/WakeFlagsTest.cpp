// WakeFlags: reasons raised on one thread reach the waiting thread together, exactly once,
// whether the waiter is asleep or not yet waiting; a wait with a time-out ends without them.

#include "platform/WakeFlags.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

TEST(WakeFlags, RaisedBeforeWaitingAreTakenTogetherOnce)
{
    platform::WakeFlags flags;
    flags.raise(1);
    flags.raise(4);
    flags.raise(1);
    EXPECT_EQ(flags.wait(-1), 5u);
    EXPECT_EQ(flags.take(), 0u);
    EXPECT_EQ(flags.wait(0), 0u);
}

TEST(WakeFlags, TimesOutWhenNothingIsRaised)
{
    platform::WakeFlags flags;
    const auto start = Clock::now();
    EXPECT_EQ(flags.wait(30), 0u);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(25));
}

TEST(WakeFlags, WakesASleepingWaiterFromAnotherThread)
{
    platform::WakeFlags flags;
    std::atomic<std::uint32_t> received{0};
    std::thread waiter([&] { received = flags.wait(-1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    flags.raise(2);
    waiter.join();
    EXPECT_EQ(received.load(), 2u);
}

// Ping-pong: each raise must wake a waiter that waits for ever, whether it is already asleep
// or just about to sleep. A lost wake-up leaves the waiter asleep, which the bounded wait for
// its answer catches (and a final raise then frees the thread).
TEST(WakeFlags, EveryRaiseWakesAWaiterThatWaitsForEver)
{
    constexpr int kRounds = 5000;
    platform::WakeFlags flags;
    std::atomic<int> answered{0};
    std::thread waiter([&] {
        for (;;) {
            const std::uint32_t reasons = flags.wait(-1);
            if ((reasons & 2) != 0) return;
            answered.fetch_add(1);
        }
    });
    int lostAt = -1;
    for (int round = 0; round < kRounds && lostAt < 0; ++round) {
        flags.raise(1);
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (answered.load() <= round && Clock::now() < deadline) std::this_thread::yield();
        if (answered.load() <= round) lostAt = round;
    }
    flags.raise(2);
    waiter.join();
    EXPECT_EQ(lostAt, -1) << "a wake-up was lost";
    EXPECT_EQ(answered.load(), kRounds);
}

}  // namespace
