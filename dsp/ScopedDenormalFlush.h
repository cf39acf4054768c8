#pragma once
// Flushes denormal floats to zero on the calling thread for the lifetime of the object
// and restores the host's setting afterwards: decaying tails must not slow the audio
// thread down by orders of magnitude.

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>

class ScopedDenormalFlush {
public:
    ScopedDenormalFlush() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
    ~ScopedDenormalFlush() { _mm_setcsr(saved_); }
    ScopedDenormalFlush(const ScopedDenormalFlush&) = delete;
    ScopedDenormalFlush& operator=(const ScopedDenormalFlush&) = delete;

private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned saved_;
};
#else
class ScopedDenormalFlush {
public:
    ScopedDenormalFlush() = default;
};
#endif
