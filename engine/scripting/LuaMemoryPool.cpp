#include "engine/scripting/LuaMemoryPool.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace QN {

namespace {

constexpr std::size_t kSmallClassBytes = 256;  // below this, classes are 16 bytes apart
constexpr std::size_t kSmallClasses = kSmallClassBytes / 16;
constexpr std::size_t kLargeSlack = 16;        // room for a Span if the block stays as a class block
constexpr std::size_t kAlignment = 16;

// The smallest class that holds size (1 ... kLargestClassBytes).
constexpr std::size_t classIndex(std::size_t size)
{
    if (size <= kSmallClassBytes) {
        return (size - 1) >> 4;
    }
    const std::size_t last = size - 1;
    const auto top = static_cast<std::size_t>(std::bit_width(last)) - 1;
    return kSmallClasses + (top - 8) * 4 + ((last >> (top - 2)) & 3);
}

constexpr std::size_t classBytes(std::size_t index)
{
    if (index < kSmallClasses) {
        return (index + 1) * 16;
    }
    const std::size_t quarter = (kSmallClassBytes << ((index - kSmallClasses) / 4)) / 4;
    return quarter * (4 + (index - kSmallClasses) % 4 + 1);
}

static_assert(classIndex(16) == 0 && classIndex(17) == 1 && classIndex(256) == 15);
static_assert(classIndex(257) == 16 && classBytes(16) == 320 && classIndex(321) == 17);
static_assert(classIndex(LuaMemoryPool::kLargestClassBytes) == LuaMemoryPool::kClassCount - 1);
static_assert(classBytes(LuaMemoryPool::kClassCount - 1) == LuaMemoryPool::kLargestClassBytes);

// A free block's first bytes name the next one.
void* nextOf(const void* block)
{
    void* next = nullptr;
    std::memcpy(&next, block, sizeof next);
    return next;
}

void setNext(void* block, void* next) { std::memcpy(block, &next, sizeof next); }

}  // namespace

LuaMemoryPool::~LuaMemoryPool()
{
    freeDeferred();
    for (Span* span = spans_; span != nullptr;) {
        Span* next = span->next;  // the span lies inside the memory it frees
        std::free(span->start);
        span = next;
    }
    for (std::size_t slot = reserveHead_.load(); slot != reserveTail_.load(); ++slot) {
        std::free(reserve_[slot % kReserveCapacity]);
    }
}

void* LuaMemoryPool::allocate(void* ud, void* block, std::size_t oldSize, std::size_t newSize)
{
    auto* pool = static_cast<LuaMemoryPool*>(ud);
    if (block == nullptr) {
        oldSize = 0;
    }
    if (newSize == 0) {
        if (block != nullptr) {
            pool->release(block, oldSize);
        }
        return nullptr;
    }
    void* result = nullptr;
    if (newSize <= oldSize || pool->fitsUnderLimit(newSize - oldSize)) {
        result = block == nullptr ? pool->obtain(newSize) : pool->resize(block, oldSize, newSize);
    }
    if (result == nullptr) {
        if (pool->realtime()) {
            pool->realtimeFailures_.fetch_add(1, std::memory_order_relaxed);
        }
        return nullptr;
    }
    pool->used_.store(pool->used() - oldSize + newSize, std::memory_order_relaxed);
    return result;
}

LuaMemoryPool* LuaMemoryPool::of(lua_State* L)
{
    void* ud = nullptr;
    return lua_getallocf(L, &ud) == allocate ? static_cast<LuaMemoryPool*>(ud) : nullptr;
}

bool LuaMemoryPool::reserveBytes(std::size_t bytes)
{
    if (!fitsUnderLimit(bytes)) {
        return false;
    }
    used_.store(used() + bytes, std::memory_order_relaxed);
    return true;
}

void LuaMemoryPool::returnBytes(std::size_t bytes) { used_.store(used() - bytes, std::memory_order_relaxed); }

bool LuaMemoryPool::fitsUnderLimit(std::size_t extra) const
{
    const std::size_t held = used();
    const std::size_t ceiling = limit();
    return held <= ceiling && extra <= ceiling - held;
}

void* LuaMemoryPool::obtain(std::size_t size)
{
    return size <= kLargestClassBytes ? takeClassBlock(classIndex(size)) : takeLargeBlock(size);
}

void* LuaMemoryPool::resize(void* block, std::size_t oldSize, std::size_t newSize)
{
    if (oldSize > kLargestClassBytes) {
        return resizeLarge(block, oldSize, newSize);
    }
    const std::size_t from = classIndex(oldSize);
    if (newSize <= kLargestClassBytes && classIndex(newSize) == from) {
        return block;
    }
    void* moved = obtain(newSize);
    if (moved == nullptr) {
        // Shrinking must not fail: the block serves the smaller class, its tail unused.
        return newSize < oldSize ? block : nullptr;
    }
    std::memcpy(moved, block, std::min(oldSize, newSize));
    putClassBlock(block, from);
    return moved;
}

void* LuaMemoryPool::resizeLarge(void* block, std::size_t oldSize, std::size_t newSize)
{
    if (newSize <= kLargestClassBytes) {
        void* moved = takeClassBlock(classIndex(newSize));
        if (moved == nullptr) {
            keepInPlace(block, newSize);
            return block;
        }
        std::memcpy(moved, block, newSize);
        releaseLargeBlock(block);
        return moved;
    }
    if (realtime()) {
        return newSize <= oldSize ? block : nullptr;  // a smaller size fits where it is
    }
    void* moved = std::realloc(block, newSize + kLargeSlack);
    return moved == nullptr && newSize <= oldSize ? block : moved;
}

void LuaMemoryPool::release(void* block, std::size_t size)
{
    used_.store(used() - size, std::memory_order_relaxed);
    if (size <= kLargestClassBytes) {
        putClassBlock(block, classIndex(size));
    } else {
        releaseLargeBlock(block);
    }
}

void* LuaMemoryPool::takeClassBlock(std::size_t index)
{
    if (void* block = freeLists_[index]) {
        freeLists_[index] = nextOf(block);
        return block;
    }
    const std::size_t bytes = classBytes(index);
    if (static_cast<std::size_t>(bumpEnd_ - bump_) < bytes && !startChunk()) {
        return nullptr;
    }
    void* block = bump_;
    bump_ += bytes;
    return block;
}

void LuaMemoryPool::putClassBlock(void* block, std::size_t index)
{
    setNext(block, freeLists_[index]);
    freeLists_[index] = block;
}

// The audio thread only takes spare chunks; other users take fresh ones from the system
// first, so that the spares stay for the audio thread.
bool LuaMemoryPool::startChunk()
{
    void* chunk = realtime() ? nullptr : newSystemChunk();
    if (chunk == nullptr) {
        chunk = takeSpareChunk();
    }
    if (chunk == nullptr) {
        return false;
    }
    splitRemainder();
    bump_ = static_cast<char*>(chunk);
    bumpEnd_ = bump_ + kChunkBytes - sizeof(Span);
    spans_ = new (bumpEnd_) Span{spans_, chunk};
    return true;
}

// The end of the old chunk, too short for the block asked for, goes to the free lists of
// the largest classes that fit (a handful of steps: each leaves less than a class step).
void LuaMemoryPool::splitRemainder()
{
    for (auto rest = static_cast<std::size_t>(bumpEnd_ - bump_); rest >= 16;
         rest = static_cast<std::size_t>(bumpEnd_ - bump_)) {
        std::size_t index = classIndex(rest);
        if (classBytes(index) > rest) {
            --index;
        }
        putClassBlock(bump_, index);
        bump_ += classBytes(index);
    }
}

void* LuaMemoryPool::takeSpareChunk()
{
    const std::size_t head = reserveHead_.load(std::memory_order_relaxed);
    if (head == reserveTail_.load(std::memory_order_acquire)) {
        return nullptr;
    }
    void* chunk = reserve_[head % kReserveCapacity];
    reserveHead_.store(head + 1, std::memory_order_release);
    return chunk;
}

std::size_t LuaMemoryPool::chunkCap() const
{
    const std::size_t ceiling = limit();
    return ceiling > std::numeric_limits<std::size_t>::max() / 2 ? ceiling : ceiling + ceiling / 2;
}

void* LuaMemoryPool::newSystemChunk()
{
    if (chunkBytes_.fetch_add(kChunkBytes, std::memory_order_relaxed) + kChunkBytes > chunkCap()) {
        chunkBytes_.fetch_sub(kChunkBytes, std::memory_order_relaxed);
        return nullptr;
    }
    void* chunk = std::aligned_alloc(kAlignment, kChunkBytes);
    if (chunk == nullptr) {
        chunkBytes_.fetch_sub(kChunkBytes, std::memory_order_relaxed);
        return nullptr;
    }
    std::memset(chunk, 0, kChunkBytes);  // every page faulted in now, not on the audio thread
    return chunk;
}

void* LuaMemoryPool::takeLargeBlock(std::size_t size)
{
    return realtime() ? nullptr : std::malloc(size + kLargeSlack);
}

void LuaMemoryPool::releaseLargeBlock(void* block)
{
    if (!realtime()) {
        std::free(block);
        return;
    }
    pendingFrees_.fetch_add(1, std::memory_order_relaxed);  // before the push: never under
    void* head = deferred_.load(std::memory_order_relaxed);
    do {
        setNext(block, head);
    } while (!deferred_.compare_exchange_weak(head, block, std::memory_order_release, std::memory_order_relaxed));
}

// A large block shrunk into a class when no class block is free: it becomes that class
// block where it is, and its slack past the class size records it for the destructor.
void LuaMemoryPool::keepInPlace(void* block, std::size_t newSize)
{
    spans_ = new (static_cast<char*>(block) + classBytes(classIndex(newSize))) Span{spans_, block};
}

void LuaMemoryPool::replenish()
{
    std::unique_lock<std::mutex> lock(replenishing_, std::try_to_lock);
    if (!lock.owns_lock()) {
        return;
    }
    freeDeferred();
    std::size_t tail = reserveTail_.load(std::memory_order_relaxed);
    while (tail - reserveHead_.load(std::memory_order_acquire) < kReserveChunks) {
        void* chunk = newSystemChunk();
        if (chunk == nullptr) {
            return;
        }
        reserve_[tail % kReserveCapacity] = chunk;
        reserveTail_.store(++tail, std::memory_order_release);
    }
}

void LuaMemoryPool::freeDeferred()
{
    void* block = deferred_.exchange(nullptr, std::memory_order_acquire);
    std::size_t freed = 0;
    for (; block != nullptr; ++freed) {
        void* next = nextOf(block);
        std::free(block);
        block = next;
    }
    pendingFrees_.fetch_sub(freed, std::memory_order_relaxed);
}

std::size_t LuaMemoryPool::spareChunks() const
{
    const std::size_t head = reserveHead_.load(std::memory_order_acquire);  // head first: tail >= head
    return reserveTail_.load(std::memory_order_acquire) - head;
}

bool LuaMemoryPool::wantsReplenish() const
{
    const bool canGrow = chunkBytes() + kChunkBytes <= chunkCap();
    return pendingFrees() > 0 || (spareChunks() < kReserveChunks && canGrow);
}

}  // namespace QN
