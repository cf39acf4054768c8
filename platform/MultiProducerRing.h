#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

namespace platform {

// A bounded queue that any number of threads fill without locks, waiting or allocation
// (the audio thread among them) and one thread at a time drains. Each cell carries a
// sequence number that says whose turn it is: a writer claims a position, fills its cell
// and publishes it; the reader takes cells in position order and hands them back.
// Capacity must be a power of two; the cells are allocated once, with the ring.
template <class Item, std::size_t Capacity>
class MultiProducerRing {
    static_assert(Capacity > 1 && (Capacity & (Capacity - 1)) == 0, "the capacity is a power of two");

public:
    MultiProducerRing() : cells_(std::make_unique<Cell[]>(Capacity))
    {
        for (std::size_t i = 0; i < Capacity; ++i) cells_[i].sequence.store(i, std::memory_order_relaxed);
    }
    MultiProducerRing(const MultiProducerRing&) = delete;
    MultiProducerRing& operator=(const MultiProducerRing&) = delete;

    // Fills the next free cell with fill(Item&); false, with nothing called, when the ring
    // is full. Called on: any thread.
    template <class Fill>
    bool push(Fill&& fill)
    {
        std::size_t position = enqueuePosition_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells_[position & kMask];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto difference = static_cast<std::ptrdiff_t>(sequence - position);
            if (difference == 0) {
                if (enqueuePosition_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    fill(cell.item);
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (difference < 0) {
                return false;
            } else {
                position = enqueuePosition_.load(std::memory_order_relaxed);
            }
        }
    }

    // Hands the oldest published item to take(const Item&), then frees its cell; false
    // when none waits. Called on: one thread at a time.
    template <class Take>
    bool pop(Take&& take)
    {
        Cell& cell = cells_[dequeuePosition_ & kMask];
        if (cell.sequence.load(std::memory_order_acquire) != dequeuePosition_ + 1) return false;
        take(static_cast<const Item&>(cell.item));
        cell.sequence.store(dequeuePosition_ + Capacity, std::memory_order_release);
        ++dequeuePosition_;
        return true;
    }

    // Positions claimed by writers so far. Called on: any thread.
    [[nodiscard]] std::size_t claimed() const { return enqueuePosition_.load(std::memory_order_acquire); }

private:
    static constexpr std::size_t kMask = Capacity - 1;

    struct Cell {
        std::atomic<std::size_t> sequence{0};
        Item item{};
    };

    std::unique_ptr<Cell[]> cells_;
    std::atomic<std::size_t> enqueuePosition_{0};
    std::size_t dequeuePosition_ = 0;  // the reader's
};

}  // namespace platform
