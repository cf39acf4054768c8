#include "editor/toolkit/PendingParameterChanges.h"

namespace QN {

PendingParameterChanges::PendingParameterChanges(int parameterCount) : listening_(static_cast<std::size_t>(parameterCount))
{
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
    if (!ring_.push([&](Change& change) { change = Change{index, value}; })) {
        overflowed_.store(true, std::memory_order_release);
    }
}

bool PendingParameterChanges::drain(const std::function<void(int, float)>& sink)
{
    Change change;
    // The cell is free again before the sink runs, so the sink may push.
    while (ring_.pop([&](const Change& waiting) { change = waiting; })) sink(change.index, change.value);
    return !overflowed_.exchange(false, std::memory_order_acq_rel);
}

}  // namespace QN
