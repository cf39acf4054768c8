#include "dsp/HannWindow.h"

#include <cmath>

AlignedFloats makeHannWindow(int n)
{
    AlignedFloats window(static_cast<std::size_t>(n));
    const double pi = 4.0 * std::atan(1.0);
    // sin^2(pi i/N) in double, rounded once; the second half mirrors the first so the window is
    // exactly symmetric about N/2, as the square-root window is.
    for (int i = 0; i <= n / 2; ++i) {
        const double s = std::sin(pi * static_cast<double>(i) / static_cast<double>(n));
        const float value = static_cast<float>(s * s);
        window[static_cast<std::size_t>(i)] = value;
        if (i > 0 && i < n / 2) {
            window[static_cast<std::size_t>(n - i)] = value;
        }
    }
    return window;
}
