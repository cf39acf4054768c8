#include "platform/WakeFlags.h"

#include "platform/Futex.h"

#include <chrono>

namespace platform {

void WakeFlags::raise(std::uint32_t flags) noexcept
{
    // A waiter only sleeps while the word is 0, so only the raise that ends that has to
    // wake it.
    if (flags_.fetch_or(flags, std::memory_order_acq_rel) == 0) {
        futexWakeAll(flags_);
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
            futexWait(flags_, 0);
            continue;
        }
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return 0;
        }
        futexWait(flags_, 0, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count());
    }
}

}  // namespace platform
