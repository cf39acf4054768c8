#include "editor/toolkit/FadingColour.h"

namespace QN {

void FadingColour::setTarget(const Rgba& target)
{
    for (std::size_t i = 0; i < 4; ++i) target_[i].store(target[i], std::memory_order_relaxed);
}

void FadingColour::fade()
{
    for (std::size_t i = 0; i < 4; ++i) {
        current_[i] = 0.85f * current_[i] + 0.15f * target_[i].load(std::memory_order_relaxed);
    }
}

}  // namespace QN
