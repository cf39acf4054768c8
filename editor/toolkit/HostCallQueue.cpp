#include "editor/toolkit/HostCallQueue.h"

#include <algorithm>

namespace QN {

HostCallQueue::HostCallQueue(int parameterCount)
    : droppedGesture_(static_cast<std::size_t>(std::max(parameterCount, 0)), 0)
{
}

bool HostCallQueue::isKnown(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < droppedGesture_.size();
}

HostCallQueue::Call* HostCallQueue::newest()
{
    return count_ == 0 ? nullptr : &ring_[(head_ + count_ - 1) % kCapacity];
}

void HostCallQueue::append(const Call& call)
{
    ring_[(head_ + count_) % kCapacity] = call;
    ++count_;
}

void HostCallQueue::beginEdit(int index)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!isKnown(index)) return;
    const bool room = hasRoomBeforeReserve();
    droppedGesture_[static_cast<std::size_t>(index)] = room ? 0 : 1;
    if (room) append({Kind::BeginEdit, index, 0.0f});
}

void HostCallQueue::automate(int index, float normalized)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!isKnown(index) || droppedGesture_[static_cast<std::size_t>(index)]) return;
    Call* last = newest();
    if (last && last->kind == Kind::Automate && last->index == index) {
        last->value = normalized;
    } else if (hasRoomBeforeReserve()) {
        append({Kind::Automate, index, normalized});
    }
}

void HostCallQueue::endEdit(int index)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!isKnown(index)) return;
    auto& dropped = droppedGesture_[static_cast<std::size_t>(index)];
    if (dropped) {
        dropped = 0;
        return;
    }
    if (count_ < kCapacity) append({Kind::EndEdit, index, 0.0f});
}

void HostCallQueue::updateDisplay()
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Call* last = newest();
    if (last && last->kind == Kind::UpdateDisplay) return;
    if (hasRoomBeforeReserve()) {
        append({Kind::UpdateDisplay, 0, 0.0f});
    } else {
        displayOwed_ = true;
    }
}

bool HostCallQueue::pop(Call& call)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ == 0) {
        if (!displayOwed_) return false;
        displayOwed_ = false;
        call = Call{Kind::UpdateDisplay, 0, 0.0f};
        return true;
    }
    call = ring_[head_];
    head_ = (head_ + 1) % kCapacity;
    --count_;
    return true;
}

bool HostCallQueue::empty() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return count_ == 0 && !displayOwed_;
}

}  // namespace QN
