#include "dsp/SqrtHannWindow.h"

#include <cmath>

AlignedFloats makeSqrtHannWindow(int n)
{
    AlignedFloats window(static_cast<std::size_t>(n));
    const double pi = 4.0 * std::atan(1.0);
    // sin(pi i/N) in double, so w[i]^2 + w[i + N/2]^2 = sin^2 + cos^2 = 1 up to one float rounding
    // each; the second half mirrors the first so the window is exactly symmetric about N/2.
    for (int i = 0; i <= n / 2; ++i) {
        const float value = static_cast<float>(std::sin(pi * static_cast<double>(i) / static_cast<double>(n)));
        window[static_cast<std::size_t>(i)] = value;
        if (i > 0 && i < n / 2) {
            window[static_cast<std::size_t>(n - i)] = value;
        }
    }
    return window;
}
