// Every code path of RealFft that this machine runs, forced one by one, against the portable
// radix-2 results (which RealFftTest checks against a naive DFT) for every size from 1 to 65536.
//
// Tolerance. The radix-2 code has B = log2 N stages, each adding at most eta * sum|x| to a bin
// (eta = 8u, u = 2^-24; derivation in RealFftTest.cpp). A vector path with W lanes and
// P = N/(2W) runs log2 P radix-2 levels per lane (a radix-4 step is two levels with one twiddle
// product), one level to fold each lane's complex spectrum into a real one (a butterfly with a
// twiddle product and an exact halving), one lane-twiddle product and log2 W levels across the
// lanes: log2 P + 2 + log2 W = B + 1 levels of the same kind. The bins at odd multiples of P
// replace the last levels by a W-term sum, at most W*u <= eta. So a vector path is within
// (B + 1) * eta * sum|x| of the exact transform, and within (2B + 1) * eta * sum|x| of the
// radix-2 result. The inverse is the same arithmetic backwards, with sum|X| over all N bins.

#include "dsp/RealFft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr double kEta = 8.0 * 0x1p-24;

// Guard bands of an odd number of floats, so that the arrays also start misaligned.
constexpr int kGuard = 5;
constexpr float kSentinel = 12345.0f;

double pathTolerance(int n)
{
    const double b = std::max(1.0, std::log2(static_cast<double>(n)));
    return (2.0 * b + 1.0) * kEta;
}

std::vector<float> randomSignal(int n, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(static_cast<std::size_t>(n));
    for (float& v : x) {
        v = dist(rng);
    }
    return x;
}

double sumAbs(const std::vector<float>& x)
{
    double s = 0.0;
    for (float v : x) {
        s += std::fabs(static_cast<double>(v));
    }
    return s;
}

// Sum of |X_k| over all N bins of the full spectrum the packed f describes.
double fullSpectrumSumAbs(const std::vector<float>& f)
{
    const std::size_t n = f.size();
    if (n < 2) {
        return n == 1 ? std::fabs(static_cast<double>(f[0])) : 0.0;
    }
    double s = std::fabs(static_cast<double>(f[0])) + std::fabs(static_cast<double>(f[n / 2]));
    for (std::size_t k = 1; k < n / 2; ++k) {
        s += 2.0 * std::hypot(static_cast<double>(f[k]), static_cast<double>(f[n / 2 + k]));
    }
    return s;
}

// A buffer of n floats between two guard bands: NaN around inputs (any read outside the range
// poisons the result), a sentinel around outputs (any write outside the range shows).
class GuardedBuffer {
public:
    GuardedBuffer(const std::vector<float>& contents, float guard)
        : storage_(contents.size() + 2 * kGuard, guard), guard_(guard)
    {
        std::copy(contents.begin(), contents.end(), storage_.begin() + kGuard);
    }
    float* data() { return storage_.data() + kGuard; }
    std::vector<float> contents() const
    {
        return {storage_.begin() + kGuard, storage_.end() - kGuard};
    }
    bool guardsIntact() const
    {
        for (std::size_t i = 0; i < kGuard; ++i) {
            const float before = storage_[i];
            const float after = storage_[storage_.size() - 1 - i];
            if (!sameBits(before) || !sameBits(after)) {
                return false;
            }
        }
        return true;
    }

private:
    bool sameBits(float v) const { return std::isnan(guard_) ? std::isnan(v) : v == guard_; }
    std::vector<float> storage_;
    float guard_;
};

std::string pathName(RealFft::Path path)
{
    switch (path) {
    case RealFft::Path::Portable:
        return "Portable";
    case RealFft::Path::Sse2:
        return "Sse2";
    case RealFft::Path::Avx2Fma:
        return "Avx2Fma";
    }
    return "Unknown";
}

using PathAndSize = std::tuple<RealFft::Path, int>;

class RealFftPathTest : public testing::TestWithParam<PathAndSize> {
protected:
    void SetUp() override
    {
        if (!RealFft::machineRuns(path())) {
            GTEST_SKIP() << "this CPU cannot run the " << pathName(path()) << " path";
        }
    }
    RealFft::Path path() const { return std::get<0>(GetParam()); }
    int size() const { return std::get<1>(GetParam()); }
};

std::vector<int> allSizes()
{
    std::vector<int> sizes;
    for (int n = 1; n <= RealFft::kMaxSize; n *= 2) {
        sizes.push_back(n);
    }
    return sizes;
}

INSTANTIATE_TEST_SUITE_P(
    EveryPathAndSize, RealFftPathTest,
    testing::Combine(testing::Values(RealFft::Path::Portable, RealFft::Path::Sse2, RealFft::Path::Avx2Fma),
                     testing::ValuesIn(allSizes())),
    [](const testing::TestParamInfo<PathAndSize>& info) {
        return pathName(std::get<0>(info.param)) + "_N" + std::to_string(std::get<1>(info.param));
    });

TEST_P(RealFftPathTest, ForwardMatchesRadix2WithinRoundingAndStaysInItsBuffers)
{
    const int n = size();
    const std::vector<float> x = randomSignal(n, 7001u + static_cast<std::uint32_t>(n));
    RealFft reference(n, RealFft::Path::Portable);
    std::vector<float> expected(x.size());
    reference.forward(x.data(), expected.data());

    RealFft fft(n, path());
    GuardedBuffer input(x, std::numeric_limits<float>::quiet_NaN());
    GuardedBuffer output(std::vector<float>(x.size(), kSentinel), kSentinel);
    fft.forward(input.data(), output.data());

    const std::vector<float> got = output.contents();
    const double bound = pathTolerance(n) * sumAbs(x);
    for (int k = 0; k < n; ++k) {
        ASSERT_NEAR(got[static_cast<std::size_t>(k)], expected[static_cast<std::size_t>(k)], bound) << "k = " << k;
    }
    EXPECT_EQ(input.contents(), x) << "the input was modified";
    EXPECT_TRUE(output.guardsIntact()) << "wrote outside the output";
}

TEST_P(RealFftPathTest, InverseMatchesRadix2WithinRoundingAndStaysInItsBuffers)
{
    const int n = size();
    // A spectrum as the kernel hands it over: a transformed signal with some bins changed.
    std::vector<float> f(static_cast<std::size_t>(n));
    RealFft(n, RealFft::Path::Portable).forward(randomSignal(n, 9103u + static_cast<std::uint32_t>(n)).data(), f.data());
    for (int k = 0; k < n; k += 3) {
        f[static_cast<std::size_t>(k)] *= 0.25f;
    }
    std::vector<float> expected(f.size());
    RealFft(n, RealFft::Path::Portable).inverse(f.data(), expected.data());

    RealFft fft(n, path());
    GuardedBuffer input(f, std::numeric_limits<float>::quiet_NaN());
    GuardedBuffer output(std::vector<float>(f.size(), kSentinel), kSentinel);
    fft.inverse(input.data(), output.data());

    const std::vector<float> got = output.contents();
    const double bound = pathTolerance(n) * fullSpectrumSumAbs(f);
    for (int i = 0; i < n; ++i) {
        ASSERT_NEAR(got[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)], bound) << "n = " << i;
    }
    EXPECT_EQ(input.contents(), f) << "the input was modified";
    EXPECT_TRUE(output.guardsIntact()) << "wrote outside the output";
}

// The kernel's windowed calls equal windowing around the plain transforms of the same path
// (the vector paths apply the window inside their first and last stages; a fused multiply-add
// there moves each product by at most one rounding, well inside the bound), and return the
// peaks of the unwindowed frames, where a NaN never wins.
TEST_P(RealFftPathTest, WindowedTransformsMatchWindowingAroundThePlainOnes)
{
    const int n = size();
    if (n < 2) {
        GTEST_SKIP() << "a windowed frame has two halves";
    }
    RealFft fft(n, path());
    const std::vector<float> window = randomSignal(n, 4242u + static_cast<std::uint32_t>(n));
    std::vector<float> x = randomSignal(n, 5151u + static_cast<std::uint32_t>(n));
    x[static_cast<std::size_t>(n / 2)] = 1.5f;

    std::vector<float> windowedCopy(x.size()), expected(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        windowedCopy[i] = x[i] * window[i];
    }
    fft.forward(windowedCopy.data(), expected.data());
    // The halves in two separate guarded arrays, the second one holding the peak.
    const auto middle = x.begin() + n / 2;
    GuardedBuffer firstHalf(std::vector<float>(x.begin(), middle), std::numeric_limits<float>::quiet_NaN());
    GuardedBuffer secondHalf(std::vector<float>(middle, x.end()), std::numeric_limits<float>::quiet_NaN());
    GuardedBuffer spectrum(std::vector<float>(x.size(), kSentinel), kSentinel);
    EXPECT_EQ(fft.forwardWindowed(firstHalf.data(), secondHalf.data(), window.data(), spectrum.data(), true), 1.5f);
    const std::vector<float> got = spectrum.contents();
    const double forwardBound = pathTolerance(n) * sumAbs(windowedCopy);
    for (int k = 0; k < n; ++k) {
        ASSERT_NEAR(got[static_cast<std::size_t>(k)], expected[static_cast<std::size_t>(k)], forwardBound) << "k = " << k;
    }
    EXPECT_EQ(firstHalf.contents(), std::vector<float>(x.begin(), middle)) << "the input was modified";
    EXPECT_EQ(secondHalf.contents(), std::vector<float>(middle, x.end())) << "the input was modified";
    EXPECT_TRUE(spectrum.guardsIntact()) << "wrote outside the spectrum";

    // The synthesis window comes already scaled by the gain; the peak is that of the scaled,
    // unwindowed output.
    const float gain = -0.75f / static_cast<float>(n);
    std::vector<float> plain(x.size()), scaledWindow(x.size());
    fft.inverse(got.data(), plain.data());
    float expectedPeak = 0.0f;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        scaledWindow[i] = gain * window[i];
        expectedPeak = std::max(expectedPeak, std::fabs(plain[i] * gain));
        plain[i] *= scaledWindow[i];
    }
    GuardedBuffer output(std::vector<float>(x.size(), kSentinel), kSentinel);
    const float peak = fft.inverseWindowed(got.data(), scaledWindow.data(), gain, output.data(), true);
    const double inverseBound = pathTolerance(n) * fullSpectrumSumAbs(got) * std::fabs(gain);
    EXPECT_NEAR(peak, expectedPeak, inverseBound);
    const std::vector<float> synthesised = output.contents();
    for (int i = 0; i < n; ++i) {
        ASSERT_NEAR(synthesised[static_cast<std::size_t>(i)], plain[static_cast<std::size_t>(i)], inverseBound) << "i = " << i;
    }
    EXPECT_TRUE(output.guardsIntact()) << "wrote outside the output";

    x[0] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(fft.forwardWindowed(x.data(), x.data() + n / 2, window.data(), spectrum.data(), true), 1.5f)
        << "a NaN became the peak";

    // Without the peaks: the same samples, and no peak.
    x[0] = 0.25f;
    std::vector<float> measured(x.size()), unmeasured(x.size());
    fft.forwardWindowed(x.data(), x.data() + n / 2, window.data(), measured.data(), true);
    EXPECT_EQ(fft.forwardWindowed(x.data(), x.data() + n / 2, window.data(), unmeasured.data(), false), 0.0f);
    EXPECT_EQ(measured, unmeasured);
    fft.inverseWindowed(got.data(), scaledWindow.data(), gain, measured.data(), true);
    EXPECT_EQ(fft.inverseWindowed(got.data(), scaledWindow.data(), gain, unmeasured.data(), false), 0.0f);
    EXPECT_EQ(measured, unmeasured);
}

// The kernel applies the bin levels inside the inverse transform when no script runs: the
// output must be that of leveling first, bit for bit (the sound does not depend on whether a
// script runs), with and without the peak, and the kept leveled spectrum that of the plain
// product, DC and Nyquist included.
TEST_P(RealFftPathTest, LeveledInverseEqualsLevelingFirst)
{
    const int n = size();
    if (n < 2) {
        GTEST_SKIP() << "a windowed frame has two halves";
    }
    RealFft fft(n, path());
    const std::vector<float> window = randomSignal(n, 77u + static_cast<std::uint32_t>(n));
    const std::vector<float> f = randomSignal(n, 78u + static_cast<std::uint32_t>(n));
    const std::vector<float> levels = randomSignal(n / 2 + 1, 79u + static_cast<std::uint32_t>(n));
    std::vector<float> leveled(f.size());
    for (int k = 0; k < n / 2; ++k) {
        leveled[static_cast<std::size_t>(k)] = f[static_cast<std::size_t>(k)] * levels[static_cast<std::size_t>(k)];
        leveled[static_cast<std::size_t>(n / 2 + k)] =
            f[static_cast<std::size_t>(n / 2 + k)] * levels[static_cast<std::size_t>(k)];
    }
    leveled[static_cast<std::size_t>(n / 2)] = f[static_cast<std::size_t>(n / 2)] * levels.back();
    const float gain = 0.6f / static_cast<float>(n);
    for (bool measure : {false, true}) {
        std::vector<float> expected(f.size());
        const float expectedPeak = fft.inverseWindowed(leveled.data(), window.data(), gain, expected.data(), measure);
        GuardedBuffer input(f, std::numeric_limits<float>::quiet_NaN());
        GuardedBuffer kept(std::vector<float>(f.size(), kSentinel), kSentinel);
        GuardedBuffer output(std::vector<float>(f.size(), kSentinel), kSentinel);
        EXPECT_EQ(fft.inverseLeveledWindowed(input.data(), levels.data(), kept.data(), window.data(), gain, output.data(),
                                             measure),
                  expectedPeak);
        EXPECT_EQ(output.contents(), expected) << "measure = " << measure;
        EXPECT_EQ(kept.contents(), leveled) << "measure = " << measure;
        EXPECT_EQ(input.contents(), f) << "the input was modified";
        EXPECT_TRUE(output.guardsIntact() && kept.guardsIntact()) << "wrote outside the output";
        std::vector<float> unkept(f.size());
        fft.inverseLeveledWindowed(f.data(), levels.data(), nullptr, window.data(), gain, unkept.data(), measure);
        EXPECT_EQ(unkept, expected) << "without the kept spectrum";
    }
}

// The packed slots f[0] (DC) and f[N/2] (Nyquist) share no storage with an imaginary part:
// a Nyquist-only spectrum must give exact alternating signs, and DC must not leak into it.
TEST_P(RealFftPathTest, DcAndNyquistStayApartInThePacking)
{
    const int n = size();
    if (n < 2) {
        GTEST_SKIP() << "N = 1 has no Nyquist bin";
    }
    std::vector<float> f(static_cast<std::size_t>(n), 0.0f);
    f[0] = 3.0f;
    f[static_cast<std::size_t>(n / 2)] = 1.0f;
    std::vector<float> x(f.size());
    RealFft fft(n, path());
    fft.inverse(f.data(), x.data());
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(x[static_cast<std::size_t>(i)], i % 2 == 0 ? 4.0f : 2.0f) << "n = " << i;
    }
    std::vector<float> back(f.size());
    fft.forward(x.data(), back.data());
    const double bound = pathTolerance(n) * 4.0 * n;
    for (int k = 0; k < n; ++k) {
        const double expected = k == 0 ? 3.0 * n : (k == n / 2 ? 1.0 * n : 0.0);
        ASSERT_NEAR(back[static_cast<std::size_t>(k)], expected, bound) << "k = " << k;
    }
}

TEST(RealFftPathChoiceTest, DefaultConstructorTakesTheFastestPathTheMachineRuns)
{
    EXPECT_TRUE(RealFft::machineRuns(RealFft::Path::Portable));
    EXPECT_TRUE(RealFft::machineRuns(RealFft::fastestPath()));
    EXPECT_EQ(RealFft(1024).path(), RealFft::fastestPath());
}

TEST(RealFftPathChoiceTest, VectorPathsLeaveSizesBelow32ToTheRadix2Code)
{
    for (RealFft::Path path : {RealFft::Path::Sse2, RealFft::Path::Avx2Fma}) {
        if (!RealFft::machineRuns(path)) {
            continue;
        }
        EXPECT_EQ(RealFft(16, path).effectivePath(), RealFft::Path::Portable) << pathName(path);
        EXPECT_EQ(RealFft(32, path).effectivePath(), path) << pathName(path);
    }
}

}  // namespace
