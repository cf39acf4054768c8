#include "platform/PriorityInheritanceMutex.h"

#include <new>
#include <pthread.h>

namespace platform {
namespace {

pthread_mutex_t* nativeMutex(unsigned char* storage) {
    return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}

}  // namespace

PriorityInheritanceMutex::PriorityInheritanceMutex() {
    static_assert(sizeof(pthread_mutex_t) <= sizeof storage_, "storage too small for the mutex");
    static_assert(alignof(pthread_mutex_t) <= alignof(std::max_align_t), "storage misaligned");
    pthread_mutex_t* mutex = new (storage_) pthread_mutex_t;
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    // Without priority inheritance the lock still works, only without the boost.
    pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
    if (pthread_mutex_init(mutex, &attributes) != 0) {
        pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_NONE);
        pthread_mutex_init(mutex, &attributes);
    }
    pthread_mutexattr_destroy(&attributes);
}

PriorityInheritanceMutex::~PriorityInheritanceMutex() {
    pthread_mutex_destroy(nativeMutex(storage_));
}

void PriorityInheritanceMutex::lock() {
    pthread_mutex_lock(nativeMutex(storage_));
}

void PriorityInheritanceMutex::unlock() {
    pthread_mutex_unlock(nativeMutex(storage_));
}

bool PriorityInheritanceMutex::try_lock() {
    return pthread_mutex_trylock(nativeMutex(storage_)) == 0;
}

}  // namespace platform
