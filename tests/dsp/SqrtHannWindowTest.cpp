#include "dsp/SqrtHannWindow.h"

#include <gtest/gtest.h>

#include <cmath>

// Pins the fault where a denominator of N - 1 left the overlapped squares summing to about
// one, so unity levels modulated the sound at the hop rate.
TEST(SqrtHannWindowTest, SquaresOfFramesHalfAFrameApartSumToOneAtEverySize)
{
    for (int n = 32; n <= 4096; n *= 2) {
        const AlignedFloats w = makeSqrtHannWindow(n);
        for (int i = 0; i < n / 2; ++i) {
            const float a = w[static_cast<std::size_t>(i)];
            const float b = w[static_cast<std::size_t>(i + n / 2)];
            ASSERT_NEAR(a * a + b * b, 1.0f, 4e-7f) << "N " << n << " sample " << i;
        }
    }
}

TEST(SqrtHannWindowTest, IsPeriodicWithZeroAtTheStartAndOneAtTheMiddle)
{
    for (int n = 32; n <= 4096; n *= 2) {
        const AlignedFloats w = makeSqrtHannWindow(n);
        EXPECT_EQ(w[0], 0.0f) << n;
        EXPECT_EQ(w[static_cast<std::size_t>(n / 2)], 1.0f) << n;
        for (int i = 1; i < n / 2; ++i) {
            ASSERT_EQ(w[static_cast<std::size_t>(i)], w[static_cast<std::size_t>(n - i)]) << "N " << n << " sample " << i;
        }
    }
}
