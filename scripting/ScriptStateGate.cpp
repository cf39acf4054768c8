#include "scripting/ScriptStateGate.h"

#include "platform/Futex.h"

#include <chrono>

namespace QN {

namespace {

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void ScriptStateGate::lock()
{
    const std::thread::id me = std::this_thread::get_id();
    if (heldByAudio()) {
        return;
    }
    if (owner_.load(std::memory_order_relaxed) == me) {
        ++depth_;
        return;
    }
    others_.lock();
    enterState();
    owner_.store(me, std::memory_order_relaxed);
    depth_ = 1;
}

void ScriptStateGate::unlock()
{
    if (heldByAudio()) {
        return;
    }
    if (--depth_ > 0) {
        return;
    }
    owner_.store(std::thread::id(), std::memory_order_relaxed);
    leaveState();
    others_.unlock();
}

bool ScriptStateGate::try_lock()
{
    const std::thread::id me = std::this_thread::get_id();
    if (heldByAudio()) {
        return true;
    }
    if (owner_.load(std::memory_order_relaxed) == me) {
        ++depth_;
        return true;
    }
    if (!others_.try_lock()) {
        return false;
    }
    if (!tryEnterState()) {
        others_.unlock();
        return false;
    }
    owner_.store(me, std::memory_order_relaxed);
    depth_ = 1;
    return true;
}

bool ScriptStateGate::tryEnterState()
{
    std::uint32_t seen = state_.load(std::memory_order_relaxed);
    while ((seen & (kAudioInside | kAudioWants)) == 0) {
        if (state_.compare_exchange_weak(seen, seen | kOtherInside, std::memory_order_acquire,
                                         std::memory_order_relaxed)) {
            return true;
        }
    }
    return false;
}

// The caller holds others_, so it is the only thread here; it sleeps while the audio
// thread holds or asks for the state.
void ScriptStateGate::enterState()
{
    for (;;) {
        if (tryEnterState()) {
            return;
        }
        std::uint32_t seen = state_.load(std::memory_order_relaxed);
        if ((seen & (kAudioInside | kAudioWants)) == 0) {
            continue;
        }
        if ((seen & kSleeper) == 0 &&
            !state_.compare_exchange_weak(seen, seen | kSleeper, std::memory_order_relaxed)) {
            continue;
        }
        platform::futexWait(state_, seen | kSleeper);
    }
}

bool ScriptStateGate::holdForAudio()
{
    if (heldByAudio()) {
        return true;
    }
    if (audioGaveUp_) {
        return false;
    }
    std::uint32_t seen = state_.fetch_or(kAudioWants, std::memory_order_acq_rel);
    std::int64_t start = 0;  // set when another thread is found inside
    for (;;) {
        if ((seen & (kOtherInside | kAudioInside)) == 0) {
            if (state_.compare_exchange_weak(seen, seen | kAudioInside, std::memory_order_acquire,
                                             std::memory_order_relaxed)) {
                break;
            }
            continue;
        }
        const std::int64_t now = nowNs();
        if (start == 0) {
            start = now;
        } else if (now - start > kAudioWaitLimitNs) {
            recordWait(now - start);
            giveUps_.fetch_add(1, std::memory_order_relaxed);
            audioGaveUp_ = true;
            letAudioGo();
            return false;
        }
        platform::pauseWhileSpinning();
        seen = state_.load(std::memory_order_relaxed);
    }
    if (start != 0) {
        recordWait(nowNs() - start);
    }
    audioHolder_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    return true;
}

void ScriptStateGate::endAudioBlock()
{
    audioGaveUp_ = false;
    if (!heldByAudio()) {
        return;
    }
    audioHolder_.store(std::thread::id(), std::memory_order_relaxed);
    letAudioGo();
}

// Clears the audio thread's claim; a parked or waiting thread is woken with one system call.
void ScriptStateGate::letAudioGo()
{
    const std::uint32_t before = state_.fetch_and(~(kAudioInside | kAudioWants | kSleeper), std::memory_order_release);
    if ((before & kSleeper) != 0) {
        platform::futexWakeAll(state_);
    }
}

void ScriptStateGate::handOverIfAsked()
{
    if ((state_.load(std::memory_order_relaxed) & kAudioWants) == 0 ||
        owner_.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
        return;
    }
    leaveState();
    enterState();
}

void ScriptStateGate::recordWait(std::int64_t ns)
{
    waits_.fetch_add(1, std::memory_order_relaxed);
    std::int64_t longest = longestWaitNs_.load(std::memory_order_relaxed);
    while (ns > longest && !longestWaitNs_.compare_exchange_weak(longest, ns, std::memory_order_relaxed)) {
    }
}

ScriptStateGate::AudioWaits ScriptStateGate::audioWaits() const
{
    return {longestWaitNs_.load(std::memory_order_relaxed), waits_.load(std::memory_order_relaxed),
            giveUps_.load(std::memory_order_relaxed)};
}

}  // namespace QN
