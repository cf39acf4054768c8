#pragma once
// The handles a binding gives its hosts, in one fixed table that is never freed. A host
// that calls with a handle it has already destroyed, or one that never was ours, reaches
// no freed memory: the handle is looked up here first and gets no owner. Slots are taken
// round the table, so a destroyed handle is reused as late as possible; a slot's
// generation tells a later owner of the same slot from the one a caller knew.
//
// Threads: acquire and release on host threads (one lock); owner and generation from any
// thread, the audio thread included (wait-free, no allocation).

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

template <typename Record, typename Owner, std::size_t kCapacity>
class LiveHandleTable {
public:
    // A free record now owned by owner, or null when every slot is taken. The caller fills
    // the record in before it hands it out.
    Record* acquire(Owner* owner)
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (std::size_t tried = 0; tried < kCapacity; ++tried) {
            const std::size_t slot = cursor_;
            cursor_ = (cursor_ + 1) % kCapacity;
            if (owners_[slot].load(std::memory_order_relaxed) == nullptr) {
                records_[slot] = Record{};
                generations_[slot].fetch_add(1, std::memory_order_relaxed);
                owners_[slot].store(owner, std::memory_order_release);
                return &records_[slot];
            }
        }
        return nullptr;
    }

    // The record's owner is gone: later calls with it find none.
    void release(const void* record)
    {
        std::lock_guard<std::mutex> guard(lock_);
        const std::size_t slot = slotOf(record);
        if (slot < kCapacity) owners_[slot].store(nullptr, std::memory_order_release);
    }

    // The live owner of record; null for a released record or an address not in the table.
    [[nodiscard]] Owner* owner(const void* record) const
    {
        const std::size_t slot = slotOf(record);
        return slot < kCapacity ? owners_[slot].load(std::memory_order_acquire) : nullptr;
    }

    // Changes every time the record's slot gets a new owner; 0 for an address not in the table.
    [[nodiscard]] std::uint32_t generation(const void* record) const
    {
        const std::size_t slot = slotOf(record);
        return slot < kCapacity ? generations_[slot].load(std::memory_order_relaxed) : 0;
    }

private:
    // kCapacity for an address that is not the start of one of the records.
    [[nodiscard]] std::size_t slotOf(const void* record) const
    {
        const auto address = reinterpret_cast<std::uintptr_t>(record);
        const auto first = reinterpret_cast<std::uintptr_t>(records_.data());
        if (address < first || address >= first + sizeof records_) return kCapacity;
        const std::size_t offset = address - first;
        return offset % sizeof(Record) == 0 ? offset / sizeof(Record) : kCapacity;
    }

    std::array<Record, kCapacity> records_{};
    std::array<std::atomic<Owner*>, kCapacity> owners_{};
    std::array<std::atomic<std::uint32_t>, kCapacity> generations_{};
    std::mutex lock_;
    std::size_t cursor_ = 0;
};
