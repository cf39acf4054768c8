#include "dsp/SqrtHannWindow.h"

#include <cmath>

AlignedFloats makeSqrtHannWindow(int n)
{
    AlignedFloats window(static_cast<std::size_t>(n));
    const double pi = 4.0 * std::atan(1.0);
    const float step = static_cast<float>(2.0 * pi / (n - 1));
    for (int i = 0; i < n; ++i) {
        const float angle = static_cast<float>(i) * step;
        const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
        window[static_cast<std::size_t>(i)] = std::sqrt(0.5f - 0.5f * c);
    }
    return window;
}
