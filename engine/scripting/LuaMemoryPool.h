#pragma once
// The allocator of a scripting state that the audio thread may run: Lua's memory comes
// from pool chunks, so running a script never calls the system allocator on that thread.
//
// Layout. Blocks of up to kLargestClassBytes belong to one of kClassCount size classes
// (16-byte steps up to 256 bytes, then four classes per doubling). Lua passes a block's
// size back with every call, so a block carries no header: its class follows from that
// size. A class block comes from its class's free list (the free block's first bytes link
// to the next), else from the unused end of the current chunk, else from a new chunk. A
// chunk is kChunkBytes from the system; its last 16 bytes link it into the list of
// memory the pool frees when it dies. Spare chunks wait in a ring of kReserveCapacity,
// filled by replenish() on a non-audio thread and already written once, so the audio
// thread never waits on a page fault of a fresh chunk. Larger blocks come from the system
// with 16 bytes of slack; on the audio thread they are refused, and one freed there is
// pushed on a lock-free stack (its first bytes hold the link) for replenish() to free.
//
// Threads. Only one thread at a time uses the state ("the state's user"); the gate that
// hands it over orders successive users. That user calls allocate, setRealtime,
// reserveBytes and returnBytes; replenish runs on any non-audio thread, also during use.
// The counters may be read from any thread.

#include "engine/scripting/LuaHeaders.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace QN {

class LuaMemoryPool {
public:
    static constexpr std::size_t kDefaultLimit = std::size_t(256) << 20;
    static constexpr std::size_t kLargestClassBytes = 64 * 1024;
    static constexpr std::size_t kChunkBytes = 256 * 1024;
    static constexpr std::size_t kClassCount = 48;
    static constexpr std::size_t kReserveCapacity = 8;
    static constexpr std::size_t kReserveChunks = 4;

    LuaMemoryPool() = default;
    // Frees every chunk and every deferred block. The state must be closed first.
    ~LuaMemoryPool();
    LuaMemoryPool(const LuaMemoryPool&) = delete;
    LuaMemoryPool& operator=(const LuaMemoryPool&) = delete;

    // The lua_Alloc function; ud is the pool. Null when refused; a failed grow leaves the
    // block valid, and a shrink or a free never fails. Called on: the state's user.
    static void* allocate(void* ud, void* block, std::size_t oldSize, std::size_t newSize);
    // The pool of a state made with allocate; null for a state with another allocator.
    static LuaMemoryPool* of(lua_State* L);

    // Whether the state's user is the audio thread; set by the gate as it hands the state
    // over. Called on: the state's user.
    void setRealtime(bool realtime) { realtime_.store(realtime, std::memory_order_relaxed); }
    bool realtime() const { return realtime_.load(std::memory_order_relaxed); }

    // Frees the blocks the audio thread let go of and fills the reserve up to
    // kReserveChunks. Returns at once if another thread is replenishing.
    // Called on: any non-audio thread.
    void replenish();
    // Whether replenish() has work: spare chunks below kReserveChunks or blocks to free.
    // Called on: any thread (the audio thread too).
    bool wantsReplenish() const;

    // Bytes Lua holds plus bytes charged through reserveBytes.
    std::size_t used() const { return used_.load(std::memory_order_relaxed); }
    std::size_t limit() const { return limit_.load(std::memory_order_relaxed); }
    // Called on: the host thread, or the state's user.
    void setLimit(std::size_t bytes) { limit_.store(bytes, std::memory_order_relaxed); }
    // Charges memory held outside Lua (timer records); false if it would pass the limit.
    // Called on: the state's user.
    bool reserveBytes(std::size_t bytes);
    void returnBytes(std::size_t bytes);

    // Allocations refused on the audio thread since the pool was made.
    std::uint64_t realtimeFailures() const { return realtimeFailures_.load(std::memory_order_relaxed); }
    // Bytes of chunks the pool holds, spare chunks included.
    std::size_t chunkBytes() const { return chunkBytes_.load(std::memory_order_relaxed); }
    std::size_t spareChunks() const;
    // Large blocks freed on the audio thread that wait for replenish().
    std::size_t pendingFrees() const { return pendingFrees_.load(std::memory_order_relaxed); }

private:
    // Ends every chunk (and every large block turned into a class block): the pool frees
    // start when it dies.
    struct Span {
        Span* next;
        void* start;
    };

    void* obtain(std::size_t size);
    void* resize(void* block, std::size_t oldSize, std::size_t newSize);
    void* resizeLarge(void* block, std::size_t oldSize, std::size_t newSize);
    void release(void* block, std::size_t size);
    void* takeClassBlock(std::size_t index);
    void putClassBlock(void* block, std::size_t index);
    bool startChunk();
    void* takeSpareChunk();
    void* newSystemChunk();
    void* takeLargeBlock(std::size_t size);
    void releaseLargeBlock(void* block);
    void keepInPlace(void* block, std::size_t newSize);
    void splitRemainder();
    void freeDeferred();
    bool fitsUnderLimit(std::size_t extra) const;
    std::size_t chunkCap() const;

    std::array<void*, kClassCount> freeLists_{};
    char* bump_ = nullptr;
    char* bumpEnd_ = nullptr;
    Span* spans_ = nullptr;
    std::atomic<bool> realtime_{false};
    std::atomic<std::size_t> used_{0};
    std::atomic<std::size_t> limit_{kDefaultLimit};

    // Spare chunks: replenish() fills slots at tail_, the state's user takes them at head_.
    std::array<void*, kReserveCapacity> reserve_{};
    std::atomic<std::size_t> reserveHead_{0};
    std::atomic<std::size_t> reserveTail_{0};
    std::mutex replenishing_;

    std::atomic<void*> deferred_{nullptr};
    std::atomic<std::size_t> pendingFrees_{0};
    std::atomic<std::uint64_t> realtimeFailures_{0};
    std::atomic<std::size_t> chunkBytes_{0};
};

}  // namespace QN
