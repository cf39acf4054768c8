// The queue of changes a host has still to hear of: order kept, value changes never lost.

#include "engine/model/ParameterChangeRing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Kind = ParameterChangeRing::Kind;

std::vector<std::pair<Kind, int>> drained(ParameterChangeRing& ring)
{
    std::vector<std::pair<Kind, int>> changes;
    ring.drain([&](const ParameterChangeRing::Change& change) { changes.emplace_back(change.kind, change.id); });
    return changes;
}

}  // namespace

TEST(ParameterChangeRing, GesturesAndValuesKeepTheirOrderAndBadIdsAreDropped)
{
    ParameterChangeRing ring;
    ring.push(Kind::GestureBegin, 40);
    ring.push(Kind::Value, 40);
    ring.push(Kind::Value, -1);
    ring.push(Kind::Value, kParameterCount);
    ring.push(Kind::GestureEnd, 40);
    EXPECT_EQ(drained(ring), (std::vector<std::pair<Kind, int>>{{Kind::GestureBegin, 40}, {Kind::Value, 40},
                                                                 {Kind::GestureEnd, 40}}));
    EXPECT_TRUE(drained(ring).empty());
}

TEST(ParameterChangeRing, ValuesPastAFullRingAreStillDeliveredOnce)
{
    ParameterChangeRing ring;
    for (std::size_t i = 0; i < ParameterChangeRing::kCapacity; ++i) ring.push(Kind::Value, 1);
    ring.push(Kind::Value, 2000);
    ring.push(Kind::Value, 2000);
    ring.push(Kind::GestureBegin, 3);  // no room: dropped
    const auto changes = drained(ring);
    ASSERT_EQ(changes.size(), ParameterChangeRing::kCapacity + 1);
    EXPECT_EQ(changes.back(), std::make_pair(Kind::Value, 2000));
    ring.push(Kind::Value, 5);  // room again after the drain
    EXPECT_EQ(drained(ring), (std::vector<std::pair<Kind, int>>{{Kind::Value, 5}}));
}
