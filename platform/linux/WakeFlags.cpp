#include "platform/WakeFlags.h"

#include <chrono>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
                  std::atomic<std::uint32_t>::is_always_lock_free,
              "the flags word must be a plain 32-bit word for the futex");

std::uint32_t* word(std::atomic<std::uint32_t>& flags) { return reinterpret_cast<std::uint32_t*>(&flags); }

// Sleeps while the word is still 0, at most `timeout` (null: for ever). Returns early on a
// wake-up, a signal, or when the word has changed already.
void sleepWhileZero(std::atomic<std::uint32_t>& flags, const timespec* timeout)
{
    syscall(SYS_futex, word(flags), FUTEX_WAIT_PRIVATE, 0u, timeout, nullptr, 0);
}

}  // namespace

void WakeFlags::raise(std::uint32_t flags) noexcept
{
    // A waiter only sleeps while the word is 0, so only the raise that ends that has to
    // wake it.
    if (flags_.fetch_or(flags, std::memory_order_acq_rel) == 0) {
        syscall(SYS_futex, word(flags_), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
    }
}

std::uint32_t WakeFlags::wait(int timeoutMs) noexcept
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const std::uint32_t raised = take();
        if (raised != 0) {
            return raised;
        }
        if (timeoutMs < 0) {
            sleepWhileZero(flags_, nullptr);
            continue;
        }
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return 0;
        }
        const auto leftNs = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(leftNs / 1000000000), static_cast<long>(leftNs % 1000000000)};
        sleepWhileZero(flags_, &timeout);
    }
}

}  // namespace platform
