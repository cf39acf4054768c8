#pragma once
// The changes a host has still to hear of: values changed by the editor, scripts or OSC,
// and the editor's gesture begin/end, in the order they happened. Many producers on any
// thread (the audio thread included: no allocation, no lock), one consumer at a time (the
// binding's process or flush). The value is read when the change is delivered, so the
// host always gets the latest one. When the ring is full a value change is kept in a
// per-parameter flag instead and delivered after the ring; a gesture is then dropped.

#include "engine/model/ParameterTable.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

class ParameterChangeRing {
public:
    enum class Kind : std::uint8_t { Value, GestureBegin, GestureEnd };
    struct Change {
        Kind kind;
        int id;
    };
    static constexpr std::size_t kCapacity = 1024;  // a power of two

    ParameterChangeRing()
    {
        for (std::size_t i = 0; i < kCapacity; ++i) slots_[i].sequence.store(i, std::memory_order_relaxed);
    }

    // Called on: any thread.
    void push(Kind kind, int id) noexcept
    {
        if (id < 0 || id >= kParameterCount) return;
        std::size_t position = tail_.load(std::memory_order_relaxed);
        for (;;) {
            Slot& slot = slots_[position & (kCapacity - 1)];
            const std::size_t sequence = slot.sequence.load(std::memory_order_acquire);
            const auto difference = static_cast<std::ptrdiff_t>(sequence) - static_cast<std::ptrdiff_t>(position);
            if (difference == 0) {
                if (tail_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    slot.change = Change{kind, id};
                    slot.sequence.store(position + 1, std::memory_order_release);
                    return;
                }
            } else if (difference < 0) {
                if (kind == Kind::Value) {
                    overflow_[static_cast<std::size_t>(id) / 64].fetch_or(std::uint64_t{1} << (id % 64),
                                                                          std::memory_order_release);
                }
                return;
            } else {
                position = tail_.load(std::memory_order_relaxed);
            }
        }
    }

    // Called on: the one consuming thread. deliver(Change) for every pending change.
    template <typename Deliver>
    void drain(Deliver&& deliver)
    {
        for (;;) {
            Slot& slot = slots_[head_ & (kCapacity - 1)];
            if (slot.sequence.load(std::memory_order_acquire) != head_ + 1) break;
            const Change change = slot.change;
            slot.sequence.store(head_ + kCapacity, std::memory_order_release);
            ++head_;
            deliver(change);
        }
        for (std::size_t word = 0; word < overflow_.size(); ++word) {
            std::uint64_t bits = overflow_[word].exchange(0, std::memory_order_acquire);
            while (bits != 0) {
                const int bit = __builtin_ctzll(bits);
                bits &= bits - 1;
                deliver(Change{Kind::Value, static_cast<int>(word * 64) + bit});
            }
        }
    }

    // Called on: the consuming thread.
    [[nodiscard]] bool empty() const
    {
        return slots_[head_ & (kCapacity - 1)].sequence.load(std::memory_order_acquire) != head_ + 1;
    }

private:
    struct Slot {
        std::atomic<std::size_t> sequence{0};
        Change change{};
    };
    std::array<Slot, kCapacity> slots_;
    std::atomic<std::size_t> tail_{0};
    std::size_t head_ = 0;
    std::array<std::atomic<std::uint64_t>, (kParameterCount + 63) / 64> overflow_{};
};
