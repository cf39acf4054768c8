#include "engine/scripting/ScriptStateGate.h"

#include "platform/Futex.h"

#include <algorithm>
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
    lockOthers();
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
    unlockOthers();
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
    if (!tryLockOthers()) {
        return false;
    }
    if (!tryEnterState(kAudioInside | kAudioWants)) {
        unlockOthers();
        return false;
    }
    owner_.store(me, std::memory_order_relaxed);
    depth_ = 1;
    return true;
}

void ScriptStateGate::lockOthers()
{
    // Sequentially consistent with unlockOthers: either it sees this ticket and wakes, or
    // this sees its turn.
    const std::uint32_t ticket = nextTicket_.fetch_add(1);
    for (std::uint32_t serving = serving_.load(); serving != ticket; serving = serving_.load()) {
        platform::futexWait(serving_, serving);
    }
}

bool ScriptStateGate::tryLockOthers()
{
    std::uint32_t serving = serving_.load();
    return nextTicket_.compare_exchange_strong(serving, serving + 1);
}

void ScriptStateGate::unlockOthers()
{
    const std::uint32_t next = serving_.fetch_add(1) + 1;
    if (nextTicket_.load() != next) {
        platform::futexWakeAll(serving_);
    }
}

bool ScriptStateGate::tryEnterState(std::uint32_t blocking)
{
    std::uint32_t seen = state_.load(std::memory_order_relaxed);
    while ((seen & blocking) == 0) {
        if (state_.compare_exchange_weak(seen, seen | kOtherInside, std::memory_order_acquire,
                                         std::memory_order_relaxed)) {
            return true;
        }
    }
    return false;
}

// The caller holds the others' ticket, so it is the only thread here; it sleeps while the
// audio thread holds or asks for the state, or until its next block after a miss.
void ScriptStateGate::enterState()
{
    const std::int64_t start = nowNs();
    for (;;) {
        if (tryEnterState(kAudioInside | kAudioWants | kAudioMissed)) {
            return;
        }
        std::uint32_t seen = state_.load(std::memory_order_relaxed);
        if ((seen & (kAudioInside | kAudioWants | kAudioMissed)) == 0) {
            continue;
        }
        if ((seen & (kAudioInside | kAudioWants)) == 0 && nowNs() - start > kMissedGraceNs) {
            state_.fetch_and(~kAudioMissed, std::memory_order_relaxed);  // no block came
            continue;
        }
        if ((seen & kSleeper) == 0 &&
            !state_.compare_exchange_weak(seen, seen | kSleeper, std::memory_order_relaxed)) {
            continue;
        }
        platform::futexWait(state_, seen | kSleeper, kMissedGraceNs);
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
    std::int64_t start = 0;     // set when another thread is found inside
    std::int64_t lastLook = 0;  // the previous look at the clock
    std::int64_t asked = 0;     // time spent asking, interruptions left out
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
        } else {
            asked += std::min(now - lastLook, kInterruptionNs);
            if (now - start > kAudioWaitLimitNs) {
                recordWait(now - start, asked);
                giveUps_.fetch_add(1, std::memory_order_relaxed);
                audioGaveUp_ = true;
                state_.fetch_or(kAudioMissed, std::memory_order_relaxed);
                letAudioGo(kAudioMissed);
                return false;
            }
        }
        lastLook = now;
        platform::pauseWhileSpinning();
        seen = state_.load(std::memory_order_relaxed);
    }
    if (start != 0) {
        const std::int64_t now = nowNs();
        recordWait(now - start, asked + std::min(now - lastLook, kInterruptionNs));
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
    letAudioGo(0);
}

// Clears the audio thread's claim (but the flags kept); a parked or waiting thread is woken
// with one system call.
void ScriptStateGate::letAudioGo(std::uint32_t kept)
{
    const std::uint32_t cleared = (kAudioInside | kAudioWants | kSleeper | kAudioMissed) & ~kept;
    const std::uint32_t before = state_.fetch_and(~cleared, std::memory_order_release);
    if ((before & kSleeper) != 0) {
        platform::futexWakeAll(state_);
    }
}

void ScriptStateGate::handOverIfAsked()
{
    if ((state_.load(std::memory_order_relaxed) & (kAudioWants | kAudioMissed)) == 0 ||
        owner_.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
        return;
    }
    leaveState();
    enterState();
}

namespace {

void raiseTo(std::atomic<std::int64_t>& longest, std::int64_t ns)
{
    std::int64_t seen = longest.load(std::memory_order_relaxed);
    while (ns > seen && !longest.compare_exchange_weak(seen, ns, std::memory_order_relaxed)) {
    }
}

}  // namespace

void ScriptStateGate::recordWait(std::int64_t wallNs, std::int64_t askedNs)
{
    waits_.fetch_add(1, std::memory_order_relaxed);
    raiseTo(longestWaitNs_, askedNs);
    raiseTo(longestWallWaitNs_, wallNs);
}

ScriptStateGate::AudioWaits ScriptStateGate::audioWaits() const
{
    return {longestWaitNs_.load(std::memory_order_relaxed), longestWallWaitNs_.load(std::memory_order_relaxed),
            waits_.load(std::memory_order_relaxed), giveUps_.load(std::memory_order_relaxed)};
}

}  // namespace QN
