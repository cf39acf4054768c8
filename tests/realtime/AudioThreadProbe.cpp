#include "AudioThreadProbe.h"

namespace {

// Constant-initialised thread-locals of the executable: reading them never allocates,
// so the allocator hooks may use them on every thread from the first call on.
thread_local bool marked = false;
thread_local int hostDepth = 0;
thread_local AudioThreadCounts counts;

}  // namespace

AudioThreadProbe::AudioThreadProbe()
{
    counts = AudioThreadCounts{};
    marked = true;
}

AudioThreadProbe::~AudioThreadProbe() { marked = false; }

AudioThreadCounts AudioThreadProbe::take()
{
    const AudioThreadCounts taken = counts;
    counts = AudioThreadCounts{};
    return taken;
}

bool AudioThreadProbe::counting() { return marked && hostDepth == 0; }

void AudioThreadProbe::noteAllocation()
{
    if (counting()) {
        ++counts.allocations;
    }
}

void AudioThreadProbe::noteFree()
{
    if (counting()) {
        ++counts.frees;
    }
}

void AudioThreadProbe::noteLock(bool contended)
{
    if (!counting()) {
        return;
    }
    ++counts.locks;
    counts.contendedLocks += contended ? 1 : 0;
}

void AudioThreadProbe::enterHostCallback()
{
    if (counting()) {
        ++counts.hostCallbacks;
    }
    ++hostDepth;
}

void AudioThreadProbe::leaveHostCallback() { --hostDepth; }
