// pthread_mutex_lock defined in the test executable: every lock of the process passes
// through here on its way to the C library's. On the marked audio thread it tries the
// lock first, so that a call that has to wait is told apart from one that does not.

#include "AudioThreadProbe.h"

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <pthread.h>

namespace {

using LockFunction = int (*)(pthread_mutex_t*);

std::atomic<LockFunction> nextLock{nullptr};

// Looked up on first use: the dynamic linker's lookup takes none of the locks that pass
// through here.
LockFunction libraryLock()
{
    LockFunction function = nextLock.load(std::memory_order_acquire);
    if (function == nullptr) {
        function = reinterpret_cast<LockFunction>(::dlsym(RTLD_NEXT, "pthread_mutex_lock"));
        nextLock.store(function, std::memory_order_release);
    }
    return function;
}

// Resolved at start-up, before any thread is marked.
[[maybe_unused]] const bool resolvedAtStart = libraryLock() != nullptr;

}  // namespace

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    if (!AudioThreadProbe::counting()) {
        return libraryLock()(mutex);
    }
    const int tried = ::pthread_mutex_trylock(mutex);
    const bool contended = tried == EBUSY;
    AudioThreadProbe::noteLock(contended);
    return contended ? libraryLock()(mutex) : tried;
}
