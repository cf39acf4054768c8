// What the editor's stand-in leaves for the host: order kept, reports of one parameter
// folded to the newest, and when the ring is full never a begin without its end.

#include "editor/toolkit/HostCallQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using QN::HostCallQueue;
using Kind = HostCallQueue::Kind;

constexpr int kParameters = 8;

std::vector<HostCallQueue::Call> drain(HostCallQueue& queue)
{
    std::vector<HostCallQueue::Call> calls;
    HostCallQueue::Call call;
    while (queue.pop(call)) calls.push_back(call);
    return calls;
}

void expectCalls(const std::vector<HostCallQueue::Call>& calls, const std::vector<HostCallQueue::Call>& expected)
{
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].kind, expected[i].kind) << "call " << i;
        EXPECT_EQ(calls[i].index, expected[i].index) << "call " << i;
        EXPECT_FLOAT_EQ(calls[i].value, expected[i].value) << "call " << i;
    }
}

TEST(HostCallQueue, KeepsOrderAndFoldsRunsOfOneParametersReports)
{
    HostCallQueue queue(kParameters);
    queue.beginEdit(2);
    queue.automate(2, 0.1f);
    queue.automate(2, 0.3f);
    queue.automate(5, 0.7f);  // another parameter in between: both kept
    queue.automate(2, 0.4f);
    queue.endEdit(2);
    queue.updateDisplay();
    queue.updateDisplay();
    queue.beginEdit(kParameters);  // no such parameter
    queue.automate(-1, 0.5f);
    expectCalls(drain(queue), {{Kind::BeginEdit, 2, 0.0f},
                               {Kind::Automate, 2, 0.3f},
                               {Kind::Automate, 5, 0.7f},
                               {Kind::Automate, 2, 0.4f},
                               {Kind::EndEdit, 2, 0.0f},
                               {Kind::UpdateDisplay, 0, 0.0f}});
    EXPECT_TRUE(queue.empty());
}

TEST(HostCallQueue, WhenFullDropsNewGesturesWholeButNeverAnEnd)
{
    HostCallQueue queue(kParameters);
    queue.beginEdit(1);  // its end comes once the ring is full
    for (std::size_t i = 0; i < HostCallQueue::kCapacity; ++i) {
        queue.automate(i % 2 == 0 ? 3 : 4, 0.5f);  // alternating: nothing folds
    }
    queue.beginEdit(6);  // no room: dropped with its report and end
    queue.automate(6, 0.9f);
    queue.endEdit(6);
    queue.updateDisplay();  // owed, sent last
    queue.endEdit(1);
    const auto calls = drain(queue);
    ASSERT_EQ(calls.size(), HostCallQueue::kCapacity - HostCallQueue::kEndReserve + 2);
    EXPECT_EQ(calls.front().kind, Kind::BeginEdit);
    EXPECT_EQ(calls[calls.size() - 2].kind, Kind::EndEdit);
    EXPECT_EQ(calls[calls.size() - 2].index, 1);
    EXPECT_EQ(calls.back().kind, Kind::UpdateDisplay);
    for (const auto& call : calls) EXPECT_NE(call.index, 6);
    // Room again: the next gesture of the dropped parameter goes through.
    queue.beginEdit(6);
    queue.endEdit(6);
    EXPECT_EQ(drain(queue).size(), 2u);
}

}  // namespace
