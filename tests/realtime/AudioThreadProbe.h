#pragma once
// Counts what the thread marked as the audio thread does that a real-time thread must
// not: heap allocations and frees, and mutex locks (split into calls that found the
// mutex free and calls that had to wait).
//
// The counting comes from the allocator and lock functions this test executable
// defines in place of the C library's (AllocatorInterposer.cpp, LockInterposer.cpp):
// the plug-in, loaded with dlopen, reaches them like any other global symbol. They
// only count on a marked thread and never allocate or lock themselves.

#include "AudioThreadCounts.h"

class AudioThreadProbe {
public:
    // Marks the calling thread for as long as the object lives and starts from zero.
    AudioThreadProbe();
    ~AudioThreadProbe();
    AudioThreadProbe(const AudioThreadProbe&) = delete;
    AudioThreadProbe& operator=(const AudioThreadProbe&) = delete;

    // What the marked thread did since the probe began or the last take. Called on the
    // marked thread.
    AudioThreadCounts take();

    // Hooks for the interposed functions. Called on: any thread.
    static bool counting();
    static void noteAllocation();
    static void noteFree();
    static void noteLock(bool contended);
    // Host callbacks run the host's code, not the plug-in's: counting pauses inside them.
    static void enterHostCallback();
    static void leaveHostCallback();
};
