#pragma once
// Who may run the instance's scripting state, and when. Timers, OSC requests and the host
// thread take it like a recursive lock, one at a time in the order they came, and wait as
// long as it takes. The audio thread never waits longer than kAudioWaitBoundNs: it asks for the state, and a holder on another thread
// steps aside at its next count hook (handOverIfAsked), parked until the audio thread's
// block is done; new entries from other threads wait while the audio thread asks. When the
// holder is inside one long library call, or the system does not let it run, and it cannot
// step aside in time, the audio thread gives up for the rest of its block and goes on
// without scripts. It then leaves word that it missed a block: the holder steps aside at
// its next hook anyway, and new entries wait, until the audio thread's next block has had
// the state (or kMissedGraceNs passed without one), so a holder that the system runs only
// now and then cannot keep scripts from the audio thread block after block.
//
// Lua lets another thread of the same state run while one is stopped inside a hook or a
// library function; the audio thread runs its scripts on a Lua thread of its own, so the
// parked script goes on exactly where it stopped.
//
// The audio side is atomics only: no lock, no system call except one futex wake when a
// parked thread waits for the end of the block.

#include <atomic>
#include <cstdint>
#include <thread>

namespace QN {

class ScriptStateGate {
public:
    // The audio thread gives up after this long. A script running elsewhere steps aside
    // within a few microseconds; one that has not in 50 µs is stuck in a library call or
    // not running at all. The margin to kAudioWaitBoundNs is for the system: even a
    // real-time thread that only spins is sometimes held up for 100 µs and more (seen on
    // virtual machines).
    static constexpr std::int64_t kAudioWaitLimitNs = 50000;
    static constexpr std::int64_t kAudioWaitBoundNs = 250000;
    static constexpr std::int64_t kMissedGraceNs = 10000000;
    static constexpr std::int64_t kInterruptionNs = 10000;

    // A wait is measured twice: as the time the audio thread spent asking, which is what
    // the gate costs it, and on the wall clock, which also holds any time the system took
    // the processor away from the audio thread (an interrupt, another virtual machine): a
    // gap of more than kInterruptionNs between two looks at the clock, a few dozen
    // nanoseconds apart while it asks, counts only kInterruptionNs to the first.
    struct AudioWaits {
        std::int64_t longestNs = 0;      // the longest time spent asking in one block
        std::int64_t longestWallNs = 0;  // the longest wait on the wall clock
        std::uint64_t waits = 0;     // blocks in which it found another thread inside
        std::uint64_t giveUps = 0;   // blocks in which it went on without the state
    };

    ScriptStateGate() = default;
    ScriptStateGate(const ScriptStateGate&) = delete;
    ScriptStateGate& operator=(const ScriptStateGate&) = delete;

    // Lockable, so std::lock_guard works. Called on: any thread but the audio thread, which
    // passes straight through while it holds the state (its nested entries).
    void lock();
    void unlock();
    bool try_lock();

    // Called on: the audio thread. Takes the state until endAudioBlock, waiting at most
    // kAudioWaitLimitNs; true at once while held. False when it had to give up, and then at
    // once for the rest of the block.
    bool holdForAudio();
    // Called on: the audio thread, when its block is done. Lets go of the state.
    void endAudioBlock();
    // Whether the calling thread holds the state as the audio thread.
    bool heldByAudio() const { return audioHolder_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

    // Called on: the thread running a script, from its count hook and from long library
    // functions. When the audio thread asks and this thread holds the state, steps aside
    // until the audio thread's block is done.
    void handOverIfAsked();

    // Called on: any thread.
    AudioWaits audioWaits() const;

private:
    static constexpr std::uint32_t kOtherInside = 1;
    static constexpr std::uint32_t kAudioInside = 2;
    static constexpr std::uint32_t kAudioWants = 4;
    static constexpr std::uint32_t kSleeper = 8;  // a thread sleeps on the word
    static constexpr std::uint32_t kAudioMissed = 16;

    void enterState();
    bool tryEnterState(std::uint32_t blocking);
    void leaveState() { state_.fetch_and(~kOtherInside, std::memory_order_release); }
    void letAudioGo(std::uint32_t kept);
    void recordWait(std::int64_t wallNs, std::int64_t askedNs);

    std::atomic<std::uint32_t> state_{0};
    // One non-audio thread at a time, parked or running, in the order they came: a timer
    // that is always due cannot keep OSC requests out. A ticket lock.
    void lockOthers();
    bool tryLockOthers();
    void unlockOthers();
    std::atomic<std::uint32_t> nextTicket_{0};
    std::atomic<std::uint32_t> serving_{0};
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0;  // owner only
    std::atomic<std::thread::id> audioHolder_{};
    bool audioGaveUp_ = false;  // audio thread only, for the current block

    std::atomic<std::int64_t> longestWaitNs_{0};
    std::atomic<std::int64_t> longestWallWaitNs_{0};
    std::atomic<std::uint64_t> waits_{0};
    std::atomic<std::uint64_t> giveUps_{0};
};

}  // namespace QN
