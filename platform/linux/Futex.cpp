#include "platform/Futex.h"

#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
                  std::atomic<std::uint32_t>::is_always_lock_free,
              "a futex word must be a plain 32-bit word");

std::uint32_t* address(std::atomic<std::uint32_t>& word) { return reinterpret_cast<std::uint32_t*>(&word); }

}  // namespace

void futexWait(std::atomic<std::uint32_t>& word, std::uint32_t expected, long long timeoutNs) noexcept
{
    const timespec timeout{static_cast<time_t>(timeoutNs / 1000000000), static_cast<long>(timeoutNs % 1000000000)};
    syscall(SYS_futex, address(word), FUTEX_WAIT_PRIVATE, expected, timeoutNs < 0 ? nullptr : &timeout, nullptr, 0);
}

void futexWakeAll(std::atomic<std::uint32_t>& word) noexcept
{
    syscall(SYS_futex, address(word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void pauseWhileSpinning() noexcept
{
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

}  // namespace platform
