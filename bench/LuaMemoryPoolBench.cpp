// The scripting state's pool allocator against the system allocator, on the same calls:
// one allocate/free pair of a given size, and 64 live blocks of 16 ... 4096 bytes churned
// (each step frees one block and allocates another of a new size). The pool runs as the
// audio thread, after a replenish.

#include "engine/scripting/LuaMemoryPool.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <random>

namespace {

using QN::LuaMemoryPool;

struct PoolCalls {
    LuaMemoryPool pool;
    PoolCalls()
    {
        pool.replenish();
        pool.setRealtime(true);
    }
    void* allocate(std::size_t size) { return LuaMemoryPool::allocate(&pool, nullptr, 0, size); }
    void release(void* block, std::size_t size) { LuaMemoryPool::allocate(&pool, block, size, 0); }
    double refused() const { return static_cast<double>(pool.realtimeFailures()); }
};

struct SystemCalls {
    void* allocate(std::size_t size) { return std::malloc(size); }
    void release(void* block, std::size_t) { std::free(block); }
    double refused() const { return 0; }
};

template <typename Calls>
void BM_AllocateFreePair(benchmark::State& state)
{
    Calls calls;
    const auto size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        void* block = calls.allocate(size);
        benchmark::DoNotOptimize(block);
        calls.release(block, size);
    }
}

template <typename Calls>
void BM_ChurnLiveBlocks(benchmark::State& state)
{
    constexpr std::size_t kLive = 64;
    constexpr std::size_t kSteps = 4096;
    Calls calls;
    std::mt19937 random(42);
    std::array<std::size_t, kSteps> sizes{};
    for (std::size_t& size : sizes) size = 16 + random() % (4096 - 16 + 1);
    std::array<void*, kLive> blocks{};
    std::array<std::size_t, kLive> held{};
    for (std::size_t i = 0; i < kLive; ++i) blocks[i] = calls.allocate(held[i] = sizes[i]);
    std::size_t step = 0;
    for (auto _ : state) {
        const std::size_t slot = (step * 37) % kLive;
        calls.release(blocks[slot], held[slot]);
        held[slot] = sizes[step++ % kSteps];
        blocks[slot] = calls.allocate(held[slot]);
        benchmark::DoNotOptimize(blocks[slot]);
    }
    for (std::size_t i = 0; i < kLive; ++i) calls.release(blocks[i], held[i]);
    state.counters["refused"] = calls.refused();  // a refused block would flatter the pool
}

}  // namespace

BENCHMARK_TEMPLATE(BM_AllocateFreePair, PoolCalls)->Arg(16)->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK_TEMPLATE(BM_AllocateFreePair, SystemCalls)->Arg(16)->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK_TEMPLATE(BM_ChurnLiveBlocks, PoolCalls);
BENCHMARK_TEMPLATE(BM_ChurnLiveBlocks, SystemCalls);
BENCHMARK_MAIN();
