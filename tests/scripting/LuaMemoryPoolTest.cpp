// The scripting state's pool allocator: contents, size classes, what the audio thread is
// refused, deferred frees, the limits, and a real state running on it.

#include "engine/scripting/LuaHeaders.h"
#include "engine/scripting/LuaMemoryPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using QN::LuaMemoryPool;
constexpr std::size_t kBig = LuaMemoryPool::kLargestClassBytes + 1;

class LuaMemoryPoolTest : public ::testing::Test {
protected:
    void* resize(void* block, std::size_t oldSize, std::size_t newSize)
    {
        return LuaMemoryPool::allocate(&pool, block, oldSize, newSize);
    }
    void* allocate(std::size_t size) { return resize(nullptr, 0, size); }
    void release(void* block, std::size_t size) { resize(block, size, 0); }

    static std::uint8_t pattern(std::uint32_t seed, std::size_t i)
    {
        return std::uint8_t(seed * 131 + i * 7 + (i >> 8));
    }
    static void fill(void* block, std::size_t size, std::uint32_t seed)
    {
        for (std::size_t i = 0; i < size; ++i) static_cast<std::uint8_t*>(block)[i] = pattern(seed, i);
    }
    static bool holds(const void* block, std::size_t size, std::uint32_t seed)
    {
        for (std::size_t i = 0; i < size; ++i) {
            if (static_cast<const std::uint8_t*>(block)[i] != pattern(seed, i)) return false;
        }
        return true;
    }

    LuaMemoryPool pool;
};

// The keeper's part: replenishes on its own thread whenever the pool asks, while the test
// uses the state.
class Replenisher {
public:
    explicit Replenisher(LuaMemoryPool& pool)
        : thread_([this, &pool] {
              while (!stop_.load()) {
                  if (pool.wantsReplenish()) pool.replenish();
                  std::this_thread::yield();
              }
          })
    {
    }
    ~Replenisher()
    {
        stop_.store(true);
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Live {
    void* block = nullptr;
    std::size_t size = 0;
    std::uint32_t seed = 0;
};

TEST_F(LuaMemoryPoolTest, RandomChurnKeepsContentsAndCount)
{
    for (const bool realtime : {true, false}) {
        SCOPED_TRACE(realtime ? "audio thread" : "other thread");
        pool.setRealtime(realtime);
        const std::uint64_t failuresBefore = pool.realtimeFailures();
        Replenisher replenisher(pool);  // every spare chunk comes from its thread
        std::mt19937 random(1234);
        std::vector<Live> live(64);
        std::size_t held = 0;
        for (std::uint32_t op = 1; op <= 4000; ++op) {
            Live& slot = live[random() % live.size()];
            const std::uint32_t kind = random() % 20;
            // Mostly small, some up to the largest class, one in twenty large.
            const std::size_t size =
                kind < 16 ? 1 + random() % 4096 : kind < 19 ? 1 + random() % kBig : kBig + random() % 200000;
            ASSERT_TRUE(slot.block == nullptr || holds(slot.block, slot.size, slot.seed)) << "op " << op;
            const bool freeing = slot.block != nullptr && kind < 3;
            const std::size_t newSize = freeing ? 0 : size;
            void* next = resize(slot.block, slot.size, newSize);
            if (!freeing && next == nullptr) {
                // Only growth on the audio thread may be refused; the block stays as it was.
                ASSERT_TRUE(realtime && newSize > slot.size) << "op " << op;
                continue;
            }
            ASSERT_TRUE(freeing || holds(next, std::min(slot.size, newSize), slot.seed)) << "op " << op;
            held = held - slot.size + newSize;
            slot = freeing ? Live{} : Live{next, newSize, op};
            if (!freeing) fill(next, newSize, op);
            ASSERT_EQ(pool.used(), held);
        }
        for (Live& slot : live) {
            ASSERT_TRUE(slot.block == nullptr || holds(slot.block, slot.size, slot.seed));
            release(slot.block, slot.size);
        }
        EXPECT_EQ(pool.used(), 0u);
        EXPECT_EQ(pool.realtimeFailures() > failuresBefore, realtime);
    }
}

TEST_F(LuaMemoryPoolTest, ResizeStaysInPlaceOnlyWithinAClass)
{
    struct Case { std::size_t from, to; bool inPlace; };
    const Case cases[] = {{1, 16, true},     {16, 17, false},   {17, 32, true},       {256, 257, false},
                          {257, 320, true},  {320, 321, false}, {57345, 65536, true}, {65536, kBig, false},
                          {kBig, 65536, false}, {kBig, 64, false}, {100, 16, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << " -> " << c.to);
        void* block = allocate(c.from);
        fill(block, c.from, 7);
        void* moved = resize(block, c.from, c.to);
        EXPECT_EQ(moved == block, c.inPlace);
        EXPECT_TRUE(holds(moved, std::min(c.from, c.to), 7));
        EXPECT_EQ(pool.used(), c.to);
        release(moved, c.to);
    }
}

TEST_F(LuaMemoryPoolTest, AudioThreadIsRefusedWhatNeedsTheSystem)
{
    void* big = allocate(kBig);
    void* small = allocate(64);  // the first chunk, from the system
    const std::size_t firstChunk = pool.chunkBytes();
    pool.setRealtime(true);
    EXPECT_EQ(resize(small, 64, kBig), nullptr);
    EXPECT_EQ(resize(big, kBig, kBig + 1), nullptr);
    EXPECT_EQ(allocate(kBig), nullptr);
    EXPECT_EQ(pool.realtimeFailures(), 3u);
    const auto drain = [this] {
        std::size_t blocks = 0;
        while (allocate(LuaMemoryPool::kLargestClassBytes) != nullptr) ++blocks;
        return blocks;
    };
    EXPECT_EQ(drain(), 3u) << "the rest of the first chunk, then no spare chunk";
    EXPECT_EQ(pool.realtimeFailures(), 4u);
    EXPECT_TRUE(pool.wantsReplenish());
    pool.replenish();
    EXPECT_EQ(pool.spareChunks(), LuaMemoryPool::kReserveChunks);
    EXPECT_EQ(drain(), 3 * LuaMemoryPool::kReserveChunks);
    EXPECT_EQ(pool.realtimeFailures(), 5u);
    EXPECT_EQ(pool.chunkBytes(), firstChunk + LuaMemoryPool::kReserveChunks * LuaMemoryPool::kChunkBytes)
        << "the audio thread took no chunk from the system";
    pool.setRealtime(false);
    release(big, kBig);
}

TEST_F(LuaMemoryPoolTest, LargeBlocksLetGoOnTheAudioThreadAreFreedByReplenish)
{
    void* freed = allocate(100000);
    void* shrunk = allocate(70000);
    void* kept = allocate(90000);
    fill(shrunk, 200, 3);
    pool.replenish();
    pool.setRealtime(true);
    release(freed, 100000);
    void* small = resize(shrunk, 70000, 200);
    EXPECT_TRUE(holds(small, 200, 3));
    EXPECT_EQ(resize(kept, 90000, 80000), kept) << "a large shrink stays where it is";
    EXPECT_EQ(pool.pendingFrees(), 2u);
    EXPECT_TRUE(pool.wantsReplenish());
    pool.replenish();
    EXPECT_EQ(pool.pendingFrees(), 0u);
    EXPECT_FALSE(pool.wantsReplenish());
    pool.setRealtime(false);
    release(kept, 80000);
    EXPECT_EQ(pool.used(), 200u);
}

TEST_F(LuaMemoryPoolTest, LargeBlockShrinkNeverFailsWithoutSpareChunks)
{
    void* big = allocate(kBig + 100);
    fill(big, 300, 5);
    pool.setRealtime(true);
    void* small = resize(big, kBig + 100, 300);
    ASSERT_EQ(small, big) << "kept in place as a class block";
    EXPECT_TRUE(holds(small, 300, 5));
    release(small, 300);
    EXPECT_EQ(allocate(300), big) << "reused from its class";
    EXPECT_EQ(pool.realtimeFailures(), 0u);
}

TEST_F(LuaMemoryPoolTest, LimitCoversLuaAndOutsideCharges)
{
    constexpr std::size_t kLimit = std::size_t(1) << 20;
    pool.setLimit(kLimit);
    ASSERT_TRUE(pool.reserveBytes(kLimit - 1000));
    void* block = allocate(600);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(allocate(401), nullptr);
    EXPECT_TRUE(pool.reserveBytes(400));
    EXPECT_FALSE(pool.reserveBytes(1));
    EXPECT_EQ(resize(block, 600, 601), nullptr) << "even within its class";
    pool.returnBytes(400);
    EXPECT_NE(resize(block, 600, 1000), nullptr);
    EXPECT_EQ(pool.used(), kLimit);
    pool.setRealtime(true);
    EXPECT_EQ(allocate(16), nullptr);
    EXPECT_EQ(pool.realtimeFailures(), 1u);
}

TEST_F(LuaMemoryPoolTest, FragmentedPoolStopsTakingChunks)
{
    constexpr std::size_t kLimit = std::size_t(1) << 20;
    pool.setLimit(kLimit);
    std::vector<void*> blocks;
    for (int i = 0; i < 15; ++i) blocks.push_back(allocate(LuaMemoryPool::kLargestClassBytes));
    for (void* block : blocks) release(block, LuaMemoryPool::kLargestClassBytes);
    while (allocate(48 * 1024) != nullptr) {  // a class the free blocks cannot serve
    }
    EXPECT_LT(pool.used(), kLimit / 2);
    EXPECT_EQ(pool.chunkBytes(), kLimit + kLimit / 2);
    EXPECT_FALSE(pool.wantsReplenish());
}

TEST_F(LuaMemoryPoolTest, LuaStateRunsOnTheAudioThreadAfterReplenish)
{
    lua_State* L = lua_newstate(LuaMemoryPool::allocate, &pool);
    ASSERT_NE(L, nullptr);
    luaL_openlibs(L);
    pool.replenish();
    const std::size_t chunkBytes = pool.chunkBytes();
    pool.setRealtime(true);
    const char* script = "local t = {} for i = 1, 2000 do t[i] = {i, tostring(i) .. 'x'} end "
                         "result = #table.concat({t[1][2], t[2000][2]}, ',')";
    ASSERT_EQ(luaL_dostring(L, script), 0) << lua_tostring(L, -1);
    lua_getglobal(L, "result");
    EXPECT_EQ(lua_tointeger(L, -1), 8);  // "1x,2000x"
    lua_settop(L, 0);
    EXPECT_NE(luaL_dostring(L, "local t = {} for i = 1, 1e6 do t[i] = i end"), 0);
    EXPECT_NE(std::string(lua_tostring(L, -1)).find("not enough memory"), std::string::npos);
    lua_settop(L, 0);
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(pool.chunkBytes(), chunkBytes) << "no system chunk on the audio thread";
    EXPECT_GT(pool.realtimeFailures(), 0u);
    pool.setRealtime(false);
    lua_close(L);
    EXPECT_EQ(pool.used(), 0u);
}

}  // namespace
