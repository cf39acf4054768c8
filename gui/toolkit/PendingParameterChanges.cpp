#include "gui/toolkit/PendingParameterChanges.h"

namespace QN {

PendingParameterChanges::PendingParameterChanges(int parameterCount)
    : listening_(static_cast<std::size_t>(parameterCount)), cells_(std::make_unique<Cell[]>(kCapacity))
{
    for (std::size_t i = 0; i < kCapacity; ++i) cells_[i].sequence.store(i, std::memory_order_relaxed);
}

void PendingParameterChanges::setListening(int index, bool listening)
{
    if (index >= 0 && static_cast<std::size_t>(index) < listening_.size()) {
        listening_[static_cast<std::size_t>(index)].store(listening, std::memory_order_release);
    }
}

void PendingParameterChanges::stopListening()
{
    for (auto& flag : listening_) flag.store(false, std::memory_order_release);
    (void)drain([](int, float) {});
}

bool PendingParameterChanges::isListening(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < listening_.size() &&
           listening_[static_cast<std::size_t>(index)].load(std::memory_order_acquire);
}

void PendingParameterChanges::push(int index, float value)
{
    if (!isListening(index)) return;
    constexpr std::size_t mask = kCapacity - 1;
    std::size_t position = enqueuePosition_.load(std::memory_order_relaxed);
    for (;;) {
        Cell& cell = cells_[position & mask];
        const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
        const auto difference = static_cast<std::ptrdiff_t>(sequence - position);
        if (difference == 0) {
            if (enqueuePosition_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                cell.index = index;
                cell.value = value;
                cell.sequence.store(position + 1, std::memory_order_release);
                return;
            }
        } else if (difference < 0) {
            overflowed_.store(true, std::memory_order_release);
            return;
        } else {
            position = enqueuePosition_.load(std::memory_order_relaxed);
        }
    }
}

bool PendingParameterChanges::drain(const std::function<void(int, float)>& sink)
{
    constexpr std::size_t mask = kCapacity - 1;
    for (;;) {
        Cell& cell = cells_[dequeuePosition_ & mask];
        if (cell.sequence.load(std::memory_order_acquire) != dequeuePosition_ + 1) break;
        const int index = cell.index;
        const float value = cell.value;
        cell.sequence.store(dequeuePosition_ + kCapacity, std::memory_order_release);
        ++dequeuePosition_;
        sink(index, value);
    }
    return !overflowed_.exchange(false, std::memory_order_acq_rel);
}

}  // namespace QN
