// Tests of RealFft against an independent model: a naive double-precision
// DFT written straight from the definition of the packed spectrum, plus the packing edge
// cases of the packed layout, the N*x identity, input preservation and guard-banded buffers.
//
// In-place transforms are not tested: the interface requires input and output to be different
// arrays.
//
// Tolerances. u = 2^-24 is the unit roundoff of IEEE binary32 (round to nearest). One radix-2
// stage computes P + W*Q and P - W*Q from two sub-spectra P, Q, with W a twiddle from the float
// cosine table (each component within u/2 of the exact value, so |W' - W| <= u). The complex
// product costs at most 2*sqrt(2)*u*|Q| (two products and a sum per component), the twiddle
// error u*|Q|, the final sum u*(|P| + |Q|): (2 + 2*sqrt(2))*u ~ 4.9u times (|P| + |Q|) in all.
// We use eta = 8u, which leaves room for second-order terms and covers the 8-point pass,
// whose s*(q1 -+ q3) costs 2u plus the 0.2u error of s = 0.70710677f, and Higham's
// eta = mu + gamma_4*(sqrt(2) + mu) ~ 6.7u ("Accuracy and Stability of Numerical Algorithms",
// 2nd ed., section 24.1). With B = log2 N stages:
//
//  * Elementwise: every value of a stage is the DFT of a subsequence of x, so |P| + |Q| is at
//    most the sum of |x| over that subsequence, and the subsequences of one stage partition x.
//    An output bin depends on one value of each subsequence with a coefficient of modulus 1,
//    so each stage adds at most eta * sum|x| to its error:
//        |f'[k] - f[k]| <= B * eta * sum_n |x_n|.
//    The inverse is the same arithmetic on the full (Hermitian) spectrum, run backwards:
//        |x'[n] - x[n]| <= B * eta * sum over all N bins |X_k|.
//  * In norm (Higham, Theorem 24.2): ||X' - X||_2 <= B*eta/(1 - B*eta) * ||X||_2 over the full
//    spectrum, and ||X||_2 = sqrt(N) * ||x||_2 (Parseval). The packed error is part of the full
//    error, so ||f' - f||_2 <= B*eta/(1 - B*eta) * sqrt(N) * ||x||_2; likewise for the inverse.
//  * Round trip: the forward error, amplified by sqrt(N) through the (unnormalised) inverse,
//    plus the inverse's own error: ||inverse(forward(x)) - N*x||_2 <= 2 * g * N * ||x||_2 with
//    g = B*eta/(1 - B*eta)^2.
//  * Where the input itself is a rounded float of an exact signal (sine, cosine), add
//    u * sum|x| for the input rounding.
// B is taken as at least 1 so that N = 1 (exact) needs no special case. The double-precision
// reference is exact to about N * 2^-53 * sum|x|, negligible against these bounds.

#include "dsp/RealFft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr double kU = 0x1p-24;      // unit roundoff of binary32
constexpr double kEta = 8.0 * kU;   // error bound of one stage, relative to |P| + |Q|
const double kTwoPi = 8.0 * std::atan(1.0);

int log2Of(int n)
{
    int b = 0;
    while ((1 << b) < n) {
        ++b;
    }
    return b;
}

double stagesOf(int n)
{
    return static_cast<double>(std::max(1, log2Of(n)));
}

// Elementwise bound per unit of sum|x| (forward) or sum|X| (inverse).
double elementwiseFactor(int n)
{
    return stagesOf(n) * kEta;
}

// Norm-wise growth factor of one transform (Higham, Theorem 24.2).
double normFactor(int n)
{
    const double be = stagesOf(n) * kEta;
    return be / (1.0 - be);
}

std::vector<int> powersOfTwo(int from, int to)
{
    std::vector<int> sizes;
    for (int n = from; n <= to; n *= 2) {
        sizes.push_back(n);
    }
    return sizes;
}

std::string sizeName(const testing::TestParamInfo<int>& info)
{
    return "N" + std::to_string(info.param);
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

double norm2(const std::vector<float>& x)
{
    double s = 0.0;
    for (float v : x) {
        s += static_cast<double>(v) * static_cast<double>(v);
    }
    return std::sqrt(s);
}

// cos and sin of 2*pi*m/N for m = 0 ... N-1, so that angles are reduced exactly.
struct Twiddles {
    explicit Twiddles(int n)
        : cosine(static_cast<std::size_t>(n)), sine(static_cast<std::size_t>(n))
    {
        for (int m = 0; m < n; ++m) {
            const double angle = kTwoPi * static_cast<double>(m) / static_cast<double>(n);
            cosine[static_cast<std::size_t>(m)] = std::cos(angle);
            sine[static_cast<std::size_t>(m)] = std::sin(angle);
        }
    }
    std::vector<double> cosine;
    std::vector<double> sine;
};

// One bin of the DFT X_k = sum x_n exp(-2 pi i k n / N), as (Re X_k, -Im X_k).
void naiveBin(const std::vector<float>& x, const Twiddles& tw, int k, double& re, double& negIm)
{
    const auto n = static_cast<std::int64_t>(x.size());
    re = 0.0;
    negIm = 0.0;
    for (std::int64_t i = 0; i < n; ++i) {
        const auto m = static_cast<std::size_t>((static_cast<std::int64_t>(k) * i) % n);
        re += static_cast<double>(x[static_cast<std::size_t>(i)]) * tw.cosine[m];
        negIm += static_cast<double>(x[static_cast<std::size_t>(i)]) * tw.sine[m];
    }
}

// The packed spectrum of x by the definition in the header, in double precision.
std::vector<double> naivePackedForward(const std::vector<float>& x)
{
    const int n = static_cast<int>(x.size());
    const Twiddles tw(n);
    std::vector<double> f(x.size(), 0.0);
    double re = 0.0;
    double negIm = 0.0;
    naiveBin(x, tw, 0, re, negIm);
    f[0] = re;
    if (n >= 2) {
        naiveBin(x, tw, n / 2, re, negIm);
        f[static_cast<std::size_t>(n / 2)] = re;
    }
    for (int k = 1; k < n / 2; ++k) {
        naiveBin(x, tw, k, re, negIm);
        f[static_cast<std::size_t>(k)] = re;
        f[static_cast<std::size_t>(n / 2 + k)] = negIm;
    }
    return f;
}

// x_n = sum over all N bins X_k exp(+2 pi i k n / N), the bins N/2+1 ... N-1 being the
// conjugates of N/2-1 ... 1: x_n = f0 + (-1)^n f[N/2] + 2 sum_k (f[k] cos + f[N/2+k] sin).
std::vector<double> naiveInverse(const std::vector<float>& f)
{
    const int n = static_cast<int>(f.size());
    const Twiddles tw(n);
    std::vector<double> x(f.size(), 0.0);
    for (int i = 0; i < n; ++i) {
        double s = f[0];
        if (n >= 2) {
            s += (i % 2 == 0 ? 1.0 : -1.0) * static_cast<double>(f[static_cast<std::size_t>(n / 2)]);
        }
        for (int k = 1; k < n / 2; ++k) {
            const auto m = static_cast<std::size_t>((static_cast<std::int64_t>(k) * i) % n);
            s += 2.0 * (static_cast<double>(f[static_cast<std::size_t>(k)]) * tw.cosine[m] +
                        static_cast<double>(f[static_cast<std::size_t>(n / 2 + k)]) * tw.sine[m]);
        }
        x[static_cast<std::size_t>(i)] = s;
    }
    return x;
}

// Sum of |X_k| and the 2-norm over all N bins of the full spectrum described by f.
double fullSpectrumSumAbs(const std::vector<float>& f)
{
    const std::size_t n = f.size();
    double s = std::fabs(static_cast<double>(f[0]));
    if (n >= 2) {
        s += std::fabs(static_cast<double>(f[n / 2]));
    }
    for (std::size_t k = 1; k < n / 2; ++k) {
        s += 2.0 * std::hypot(static_cast<double>(f[k]), static_cast<double>(f[n / 2 + k]));
    }
    return s;
}

double fullSpectrumNorm2(const std::vector<float>& f)
{
    const std::size_t n = f.size();
    double s = static_cast<double>(f[0]) * f[0];
    if (n >= 2) {
        s += static_cast<double>(f[n / 2]) * f[n / 2];
    }
    for (std::size_t k = 1; k < n / 2; ++k) {
        s += 2.0 * (static_cast<double>(f[k]) * f[k] + static_cast<double>(f[n / 2 + k]) * f[n / 2 + k]);
    }
    return std::sqrt(s);
}

struct Deviation {
    double maxAbs = 0.0;
    std::size_t worstIndex = 0;
    double norm2 = 0.0;
};

Deviation deviation(const std::vector<float>& actual, const std::vector<double>& expected)
{
    Deviation d;
    double sq = 0.0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        const double e = std::fabs(static_cast<double>(actual[i]) - expected[i]);
        sq += e * e;
        if (e > d.maxAbs || std::isnan(e)) {
            d.maxAbs = std::isnan(e) ? INFINITY : e;
            d.worstIndex = i;
        }
    }
    d.norm2 = std::sqrt(sq);
    return d;
}

bool bitwiseEqual(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// N floats with kGuard floats on each side. Guards and, until written, the payload hold a
// quiet NaN with a recognisable payload: a write outside [0, N) changes a guard's bits, a
// read outside [0, N) of an input buffer turns an output into NaN, and an output element
// left unwritten stays NaN.
class GuardedBuffer {
public:
    static constexpr std::size_t kGuard = 64;
    static constexpr std::uint32_t kPoisonBits = 0x7fc5a5a5u;

    explicit GuardedBuffer(int n)
        : n_(static_cast<std::size_t>(n)), storage_(n_ + 2 * kGuard, std::bit_cast<float>(kPoisonBits))
    {
    }
    GuardedBuffer(int n, const std::vector<float>& content) : GuardedBuffer(n)
    {
        std::copy(content.begin(), content.end(), data());
    }

    float* data() { return storage_.data() + kGuard; }
    std::vector<float> content() const
    {
        return std::vector<float>(storage_.begin() + kGuard, storage_.begin() + kGuard + n_);
    }
    bool guardsIntact() const
    {
        for (std::size_t i = 0; i < kGuard; ++i) {
            if (std::bit_cast<std::uint32_t>(storage_[i]) != kPoisonBits ||
                std::bit_cast<std::uint32_t>(storage_[kGuard + n_ + i]) != kPoisonBits) {
                return false;
            }
        }
        return true;
    }

private:
    std::size_t n_;
    std::vector<float> storage_;
};

bool allFinite(const std::vector<float>& v)
{
    return std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); });
}

std::vector<float> runForward(RealFft& fft, const std::vector<float>& x)
{
    std::vector<float> f(x.size());
    fft.forward(x.data(), f.data());
    return f;
}

std::vector<float> runInverse(RealFft& fft, const std::vector<float>& f)
{
    std::vector<float> x(f.size());
    fft.inverse(f.data(), x.data());
    return x;
}

// A random packed spectrum with the magnitudes a forward transform of a random signal has.
std::vector<float> randomSpectrum(int n, std::uint32_t seed)
{
    std::vector<float> f = randomSignal(n, seed);
    const float scale = std::sqrt(static_cast<float>(n));
    for (float& v : f) {
        v *= scale;
    }
    return f;
}

// ---------------------------------------------------------------------------------------------
// Construction

TEST(RealFftConstructionTest, AcceptsEveryPowerOfTwoFromOneToMaxSize)
{
    for (int n : powersOfTwo(1, RealFft::kMaxSize)) {
        SCOPED_TRACE(n);
        const RealFft fft(n);
        EXPECT_EQ(fft.size(), n);
        EXPECT_EQ(fft.bits(), log2Of(n));
    }
}

TEST(RealFftConstructionTest, RejectsZeroAndNegativeSizes)
{
    for (int n : {0, -1, -2, -4, -4096, INT_MIN}) {
        SCOPED_TRACE(n);
        EXPECT_THROW(RealFft{n}, std::invalid_argument);
    }
}

TEST(RealFftConstructionTest, RejectsSizesThatAreNotPowersOfTwo)
{
    for (int n : {3, 5, 6, 7, 12, 24, 100, 1000, 1023, 1025, 4095, 4097, 65535}) {
        SCOPED_TRACE(n);
        EXPECT_THROW(RealFft{n}, std::invalid_argument);
    }
}

TEST(RealFftConstructionTest, RejectsSizesAboveMaxSize)
{
    for (int n : {RealFft::kMaxSize + 1, 2 * RealFft::kMaxSize, 1 << 20, 1 << 30, INT_MAX}) {
        SCOPED_TRACE(n);
        EXPECT_THROW(RealFft{n}, std::invalid_argument);
    }
}

// ---------------------------------------------------------------------------------------------
// Every size the plug-in can use, and the small ones with their own code paths: 1 ... 4096.

class RealFftSizeTest : public testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(PowersOfTwoUpTo4096, RealFftSizeTest, testing::ValuesIn(powersOfTwo(1, 4096)),
                         sizeName);

TEST_P(RealFftSizeTest, ForwardMatchesNaiveDft)
{
    const int n = GetParam();
    RealFft fft(n);
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const std::vector<float> x = randomSignal(n, 1000u * seed + static_cast<std::uint32_t>(n));
        const std::vector<float> f = runForward(fft, x);
        const Deviation d = deviation(f, naivePackedForward(x));
        EXPECT_LE(d.maxAbs, elementwiseFactor(n) * sumAbs(x)) << "worst at f[" << d.worstIndex << "]";
        EXPECT_LE(d.norm2, normFactor(n) * std::sqrt(static_cast<double>(n)) * norm2(x));
    }
}

TEST_P(RealFftSizeTest, InverseMatchesNaiveInverseDft)
{
    const int n = GetParam();
    RealFft fft(n);
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const std::vector<float> f = randomSpectrum(n, 2000u * seed + static_cast<std::uint32_t>(n));
        const std::vector<float> x = runInverse(fft, f);
        const Deviation d = deviation(x, naiveInverse(f));
        EXPECT_LE(d.maxAbs, elementwiseFactor(n) * fullSpectrumSumAbs(f)) << "worst at x[" << d.worstIndex << "]";
        EXPECT_LE(d.norm2, normFactor(n) * std::sqrt(static_cast<double>(n)) * fullSpectrumNorm2(f));
    }
}

TEST_P(RealFftSizeTest, InverseOfForwardIsInputTimesN)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<float> x = randomSignal(n, 3000u + static_cast<std::uint32_t>(n));
    const std::vector<float> y = runInverse(fft, runForward(fft, x));
    std::vector<double> expected(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        expected[i] = static_cast<double>(n) * x[i];
    }
    const double g = normFactor(n) / (1.0 - stagesOf(n) * kEta);
    const Deviation d = deviation(y, expected);
    EXPECT_LE(d.norm2, 2.0 * g * n * norm2(x));
    EXPECT_LE(d.maxAbs, 2.0 * g * n * norm2(x)) << "worst at x[" << d.worstIndex << "]";
}

TEST_P(RealFftSizeTest, ForwardLeavesInputUnchanged)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<float> original = randomSignal(n, 4000u + static_cast<std::uint32_t>(n));
    std::vector<float> x = original;
    std::vector<float> f(x.size());
    fft.forward(x.data(), f.data());
    EXPECT_TRUE(bitwiseEqual(x, original));
}

TEST_P(RealFftSizeTest, InverseLeavesInputUnchanged)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<float> original = randomSpectrum(n, 5000u + static_cast<std::uint32_t>(n));
    std::vector<float> f = original;
    std::vector<float> x(f.size());
    fft.inverse(f.data(), x.data());
    EXPECT_TRUE(bitwiseEqual(f, original));
}

TEST_P(RealFftSizeTest, ForwardReadsAndWritesOnlyTheGivenRanges)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<float> signal = randomSignal(n, 6000u + static_cast<std::uint32_t>(n));
    GuardedBuffer in(n, signal);
    GuardedBuffer out(n);
    fft.forward(in.data(), out.data());
    EXPECT_TRUE(out.guardsIntact()) << "wrote outside f[0, N)";
    EXPECT_TRUE(in.guardsIntact()) << "wrote outside x[0, N)";
    EXPECT_TRUE(allFinite(out.content())) << "read outside x[0, N) or left an output unwritten";
    EXPECT_TRUE(bitwiseEqual(out.content(), runForward(fft, signal)));
}

TEST_P(RealFftSizeTest, InverseReadsAndWritesOnlyTheGivenRanges)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<float> spectrum = randomSpectrum(n, 7000u + static_cast<std::uint32_t>(n));
    GuardedBuffer in(n, spectrum);
    GuardedBuffer out(n);
    fft.inverse(in.data(), out.data());
    EXPECT_TRUE(out.guardsIntact()) << "wrote outside x[0, N)";
    EXPECT_TRUE(in.guardsIntact()) << "wrote outside f[0, N)";
    EXPECT_TRUE(allFinite(out.content())) << "read outside f[0, N) or left an output unwritten";
    EXPECT_TRUE(bitwiseEqual(out.content(), runInverse(fft, spectrum)));
}

// The scratch buffer carries no state from one call to the next, and objects of one size
// do not differ.
TEST_P(RealFftSizeTest, ResultsDoNotDependOnEarlierCalls)
{
    const int n = GetParam();
    const std::vector<float> x = randomSignal(n, 8000u + static_cast<std::uint32_t>(n));
    const std::vector<float> f = randomSpectrum(n, 9000u + static_cast<std::uint32_t>(n));
    RealFft fresh(n);
    const std::vector<float> forwardFresh = runForward(fresh, x);
    RealFft used(n);
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        (void)runForward(used, randomSignal(n, seed));
        (void)runInverse(used, randomSpectrum(n, seed));
    }
    EXPECT_TRUE(bitwiseEqual(runForward(used, x), forwardFresh));
    EXPECT_TRUE(bitwiseEqual(runInverse(used, f), runInverse(fresh, f)));
    EXPECT_TRUE(bitwiseEqual(runForward(fresh, x), forwardFresh));
}

// Every product in these transforms involves a zero or a power-of-two multiple of the input,
// so the results are exact.
TEST_P(RealFftSizeTest, UnitImpulseAtZeroGivesOnesInRealHalfAndZerosInImaginaryHalf)
{
    const int n = GetParam();
    RealFft fft(n);
    std::vector<float> x(static_cast<std::size_t>(n), 0.0f);
    x[0] = 1.0f;
    const std::vector<float> f = runForward(fft, x);
    for (int k = 0; k <= n / 2; ++k) {
        EXPECT_EQ(f[static_cast<std::size_t>(k)], 1.0f) << "k = " << k;
    }
    for (int k = n / 2 + 1; k < n; ++k) {
        EXPECT_EQ(f[static_cast<std::size_t>(k)], 0.0f) << "k = " << k;
    }
}

TEST_P(RealFftSizeTest, ConstantGivesNTimesConstantAtDcAndZerosElsewhere)
{
    const int n = GetParam();
    RealFft fft(n);
    const float c = -0.375f;
    const std::vector<float> f = runForward(fft, std::vector<float>(static_cast<std::size_t>(n), c));
    EXPECT_EQ(f[0], static_cast<float>(n) * c);
    for (int k = 1; k < n; ++k) {
        EXPECT_EQ(f[static_cast<std::size_t>(k)], 0.0f) << "k = " << k;
    }
}

TEST_P(RealFftSizeTest, InverseOfDcOnlyGivesConstant)
{
    const int n = GetParam();
    RealFft fft(n);
    std::vector<float> f(static_cast<std::size_t>(n), 0.0f);
    f[0] = 0.625f;
    const std::vector<float> x = runInverse(fft, f);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(x[static_cast<std::size_t>(i)], 0.625f) << "i = " << i;
    }
}

// An impulse at n = 1 pins the sign convention: X_k = exp(-2 pi i k/N), so the real half
// holds cos(2 pi k/N) and the imaginary half, -Im X_k, holds +sin(2 pi k/N). N >= 2.
TEST(RealFftSignTest, ImpulseAtOneGivesCosinesInRealHalfAndSinesInImaginaryHalf)
{
    for (int n : powersOfTwo(2, 4096)) {
        SCOPED_TRACE(n);
        RealFft fft(n);
        std::vector<float> x(static_cast<std::size_t>(n), 0.0f);
        x[1] = 1.0f;
        const std::vector<float> f = runForward(fft, x);
        const double tol = elementwiseFactor(n) * 1.0;
        EXPECT_NEAR(f[0], 1.0, tol);
        EXPECT_NEAR(f[static_cast<std::size_t>(n / 2)], -1.0, tol);
        for (int k = 1; k < n / 2; ++k) {
            const double angle = kTwoPi * k / n;
            EXPECT_NEAR(f[static_cast<std::size_t>(k)], std::cos(angle), tol) << "k = " << k;
            EXPECT_NEAR(f[static_cast<std::size_t>(n / 2 + k)], std::sin(angle), tol) << "k = " << k;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Packing of bin 1 and of the Nyquist bin, for the sizes that have a bin 1 apart from the
// Nyquist bin: 4 ... 4096.

class RealFftPackingTest : public testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(PowersOfTwoFrom4To4096, RealFftPackingTest, testing::ValuesIn(powersOfTwo(4, 4096)),
                         sizeName);

std::vector<float> sampledSinusoid(int n, bool sine)
{
    std::vector<float> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double angle = kTwoPi * i / n;
        x[static_cast<std::size_t>(i)] = static_cast<float>(sine ? std::sin(angle) : std::cos(angle));
    }
    return x;
}

// Expects f[hot] = value and every other element 0, within the forward bound plus the input
// rounding.
void expectSingleElement(const std::vector<float>& f, std::size_t hot, double value, double tol)
{
    for (std::size_t k = 0; k < f.size(); ++k) {
        EXPECT_NEAR(f[k], k == hot ? value : 0.0, tol) << "f[" << k << "]";
    }
}

TEST_P(RealFftPackingTest, SineAtBinOneGivesHalfNInNegatedImaginaryPartOfBinOne)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<float> x = sampledSinusoid(n, true);
    const double tol = (elementwiseFactor(n) + kU) * sumAbs(x);
    expectSingleElement(runForward(fft, x), static_cast<std::size_t>(n / 2 + 1), n / 2.0, tol);
}

TEST_P(RealFftPackingTest, CosineAtBinOneGivesHalfNInRealPartOfBinOne)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<float> x = sampledSinusoid(n, false);
    const double tol = (elementwiseFactor(n) + kU) * sumAbs(x);
    expectSingleElement(runForward(fft, x), 1, n / 2.0, tol);
}

TEST_P(RealFftPackingTest, AlternatingSignsGiveNAtNyquistAndZerosElsewhere)
{
    const int n = GetParam();
    RealFft fft(n);
    std::vector<float> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        x[static_cast<std::size_t>(i)] = i % 2 == 0 ? 1.0f : -1.0f;
    }
    const std::vector<float> f = runForward(fft, x);
    for (int k = 0; k < n; ++k) {
        EXPECT_EQ(f[static_cast<std::size_t>(k)], k == n / 2 ? static_cast<float>(n) : 0.0f) << "k = " << k;
    }
}

TEST_P(RealFftPackingTest, InverseOfNyquistOnlyGivesAlternatingSigns)
{
    const int n = GetParam();
    RealFft fft(n);
    std::vector<float> f(static_cast<std::size_t>(n), 0.0f);
    f[static_cast<std::size_t>(n / 2)] = 1.0f;
    const std::vector<float> x = runInverse(fft, f);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(x[static_cast<std::size_t>(i)], i % 2 == 0 ? 1.0f : -1.0f) << "i = " << i;
    }
}

// f[1] = 1 is X_1 = X_{N-1} = 1: x_n = 2 cos(2 pi n/N). f[N/2 + 1] = 1 is X_1 = -i,
// X_{N-1} = +i: x_n = 2 sin(2 pi n/N).
TEST_P(RealFftPackingTest, InverseOfBinOneGivesCosineFromRealPartAndSineFromSecondMember)
{
    const int n = GetParam();
    RealFft fft(n);
    const double tol = elementwiseFactor(n) * 2.0;
    for (bool second : {false, true}) {
        SCOPED_TRACE(second ? "f[N/2 + 1] = 1" : "f[1] = 1");
        std::vector<float> f(static_cast<std::size_t>(n), 0.0f);
        f[second ? static_cast<std::size_t>(n / 2 + 1) : 1] = 1.0f;
        const std::vector<float> x = runInverse(fft, f);
        for (int i = 0; i < n; ++i) {
            const double angle = kTwoPi * i / n;
            EXPECT_NEAR(x[static_cast<std::size_t>(i)], 2.0 * (second ? std::sin(angle) : std::cos(angle)), tol)
                << "i = " << i;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Sizes beyond the plug-in's, up to the limit: 8192 ... 65536. The naive DFT of every bin is
// too slow here, so selected bins are checked.

class RealFftLargeSizeTest : public testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(PowersOfTwoFrom8192ToMaxSize, RealFftLargeSizeTest,
                         testing::ValuesIn(powersOfTwo(8192, RealFft::kMaxSize)), sizeName);

TEST_P(RealFftLargeSizeTest, SelectedBinsMatchNaiveDft)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<float> x = randomSignal(n, 10000u + static_cast<std::uint32_t>(n));
    const std::vector<float> f = runForward(fft, x);
    const Twiddles tw(n);
    const double tol = elementwiseFactor(n) * sumAbs(x);
    for (int k : {0, 1, 2, 3, 5, 97, n / 8 - 1, n / 4, n / 4 + 1, n / 2 - 3, n / 2 - 1, n / 2}) {
        double re = 0.0;
        double negIm = 0.0;
        naiveBin(x, tw, k, re, negIm);
        EXPECT_NEAR(f[static_cast<std::size_t>(k)], re, tol) << "Re X_" << k;
        if (k != 0 && k != n / 2) {
            EXPECT_NEAR(f[static_cast<std::size_t>(n / 2 + k)], negIm, tol) << "-Im X_" << k;
        }
    }
}

TEST_P(RealFftLargeSizeTest, InverseOfForwardIsInputTimesN)
{
    const int n = GetParam();
    RealFft fft(n);
    const std::vector<float> x = randomSignal(n, 11000u + static_cast<std::uint32_t>(n));
    const std::vector<float> y = runInverse(fft, runForward(fft, x));
    std::vector<double> expected(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        expected[i] = static_cast<double>(n) * x[i];
    }
    const double g = normFactor(n) / (1.0 - stagesOf(n) * kEta);
    EXPECT_LE(deviation(y, expected).norm2, 2.0 * g * n * norm2(x));
}

TEST_P(RealFftLargeSizeTest, ForwardAndInverseReadAndWriteOnlyTheGivenRanges)
{
    const int n = GetParam();
    RealFft fft(n);
    GuardedBuffer signal(n, randomSignal(n, 12000u + static_cast<std::uint32_t>(n)));
    GuardedBuffer spectrum(n);
    GuardedBuffer back(n);
    fft.forward(signal.data(), spectrum.data());
    fft.inverse(spectrum.data(), back.data());
    EXPECT_TRUE(signal.guardsIntact());
    EXPECT_TRUE(spectrum.guardsIntact());
    EXPECT_TRUE(back.guardsIntact());
    EXPECT_TRUE(allFinite(spectrum.content()));
    EXPECT_TRUE(allFinite(back.content()));
}

} // namespace
