#include "engine/osc/OSCHelper.h"
#include "engine/osc/SetParamQueue.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

TEST(SetParamQueue, SixtyFourthPendingChangeIsRefusedWithOneLine)
{
    QN::SetParamQueue queue;
    for (int i = 0; i < 63; ++i) {
        EXPECT_TRUE(queue.Write(i, static_cast<float>(i)));
    }
    testing::internal::CaptureStderr();
    EXPECT_FALSE(queue.Write(63, 0.0f));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "OSCHelper::SetParamQueue::Write() overflow\n");
    QN::SetParamQueue::Entry entry;
    ASSERT_TRUE(queue.take(entry));
    EXPECT_EQ(entry.index, 0);
    EXPECT_TRUE(queue.Write(63, 1.0f));
}

TEST(SetParamQueue, ConcurrentWritersNeitherLoseNorTearEntries)
{
    QN::SetParamQueue queue;
    constexpr int kWriters = 4;
    constexpr int kPerWriter = 5000;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&queue, w] {
            for (int i = 0; i < kPerWriter; ++i) {
                const int index = w * kPerWriter + i;
                while (!queue.Write(index, static_cast<float>(index) * 0.5f)) {
                    std::this_thread::yield();
                }
            }
        });
    }
    testing::internal::CaptureStderr();
    std::set<int> seen;
    std::vector<int> lastPerWriter(kWriters, -1);
    QN::SetParamQueue::Entry entry;
    while (seen.size() < static_cast<std::size_t>(kWriters * kPerWriter)) {
        if (!queue.take(entry)) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(entry.value, static_cast<float>(entry.index) * 0.5f) << "torn entry";
        const int writer = entry.index / kPerWriter;
        ASSERT_GT(entry.index, lastPerWriter[static_cast<std::size_t>(writer)]) << "one writer's order kept";
        lastPerWriter[static_cast<std::size_t>(writer)] = entry.index;
        seen.insert(entry.index);
    }
    for (auto& writer : writers) {
        writer.join();
    }
    (void)testing::internal::GetCapturedStderr();
    EXPECT_FALSE(queue.take(entry));
}

TEST(OSCHelper, QueuesChangesOnlyForRegisteredParameters)
{
    QN::OSCHelper helper(nullptr, nullptr);
    helper.parameterChanged(5, 1.0f);
    helper.setUpdateRegistered(40, true);
    helper.setUpdateRegistered(5000, true);  // ignored, not a parameter
    helper.parameterChanged(40, 0.5f);
    helper.parameterChanged(5000, 0.5f);
    QN::SetParamQueue::Entry entry;
    ASSERT_TRUE(helper.setParamQueue().take(entry));
    EXPECT_EQ(entry.index, 40);
    EXPECT_EQ(entry.value, 0.5f);
    EXPECT_FALSE(helper.setParamQueue().take(entry));
}
