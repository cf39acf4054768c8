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

// Two raisers, one waiter that keeps waiting: every reason raised is seen, none twice in a row
// without being raised again, and the waiter ends on the last one.
TEST(WakeFlags, NoReasonIsLostUnderConcurrentRaises)
{
    constexpr int kRounds = 20000;
    platform::WakeFlags flags;
    std::atomic<int> seenOne{0}, seenTwo{0};
    std::thread waiter([&] {
        for (;;) {
            const std::uint32_t reasons = flags.wait(2000);
            ASSERT_NE(reasons, 0u) << "a raise was lost";
            seenOne += (reasons & 1) != 0;
            seenTwo += (reasons & 2) != 0;
            if ((reasons & 4) != 0) {
                return;
            }
        }
    });
    std::thread first([&] {
        for (int i = 0; i < kRounds; ++i) {
            flags.raise(1);
        }
    });
    std::thread second([&] {
        for (int i = 0; i < kRounds; ++i) {
            flags.raise(2);
        }
    });
    first.join();
    second.join();
    flags.raise(4);
    waiter.join();
    EXPECT_GE(seenOne.load(), 1);
    EXPECT_GE(seenTwo.load(), 1);
    EXPECT_LE(seenOne.load(), kRounds);
}

}  // namespace
