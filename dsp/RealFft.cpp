#include "RealFft.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

// The algorithm, step by step:
//   forward: bit-reversed 4-point spectra (passes 1 and 2), the 8-point pass (pass 3), then
//            the general passes L = 3 ... B-1, each merging two packed spectra of length
//            E = 2^L into one of length 2E;
//   inverse: the same stages run backwards, each undoing one forward stage with a factor of 2.
// Every pass reads one buffer and writes the other (the output array or the scratch buffer),
// arranged so that the last pass writes the output array.

namespace {

// B = floor(log(N)/log(2) + 0.5) (exact for powers of two).
std::int32_t bitsOf(int n)
{
    return static_cast<std::int32_t>(std::floor(std::log(static_cast<double>(n)) / std::log(2.0) + 0.5));
}

bool isValidSize(int n)
{
    return n >= 1 && n <= RealFft::kMaxSize && (n & (n - 1)) == 0;
}

#if defined(__x86_64__)
constexpr bool kHaveX86Paths = true;
bool cpuHasAvx2Fma() noexcept
{
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
#else
constexpr bool kHaveX86Paths = false;
bool cpuHasAvx2Fma() noexcept { return false; }
#endif

// The lane count a path uses at size n, 0 where the radix-2 code runs. A vector path needs
// P = N/(2W) to be a multiple of W, so eight lanes start at N = 128 and four at N = 32.
int lanesFor(RealFft::Path path, int n) noexcept
{
    if (path == RealFft::Path::Portable || n < 32) {
        return 0;
    }
    return path == RealFft::Path::Avx2Fma && n >= 128 ? 8 : 4;
}

} // namespace

// The vector paths, one translation unit per instruction set (RealFftSse2.cpp, RealFftAvx2.cpp):
// each picks its transforms for size n (n >= 32; n >= 128 for eight lanes).
namespace realfft_simd {
void selectSse2(int n, RealFft::VectorEntryPoints& entry) noexcept;
void selectAvx2Fma(int n, RealFft::VectorEntryPoints& entry) noexcept;
} // namespace realfft_simd

namespace {

void selectVectorTransforms(RealFft::Path path, int n, RealFft::VectorEntryPoints& entry)
{
#if defined(__x86_64__)
    if (path == RealFft::Path::Avx2Fma) {
        realfft_simd::selectAvx2Fma(n, entry);
    } else {
        realfft_simd::selectSse2(n, entry);
    }
#else
    (void)path;
    (void)n;
    entry = {};
#endif
}

// max |v| over n floats; NaNs never win.
float peakOf(const float* v, int n) noexcept
{
    float peak = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float magnitude = std::fabs(v[i]);
        peak = peak < magnitude ? magnitude : peak;
    }
    return peak;
}

} // namespace

RealFft::RealFft(int n) : RealFft(n, fastestPath()) {}

RealFft::RealFft(int n, Path path)
    : sqrtHalf_(std::bit_cast<float>(std::uint32_t{0x3f3504f3u})), // 0.70710677f
      size_(0),
      bits_(0),
      path_(path)
{
    if (!isValidSize(n)) {
        throw std::invalid_argument("RealFft: size " + std::to_string(n) +
                                    " is not a power of two between 1 and " +
                                    std::to_string(kMaxSize));
    }
    if (!machineRuns(path)) {
        throw std::invalid_argument("RealFft: this CPU cannot run the requested code path");
    }
    size_ = n;
    bits_ = bitsOf(n);

    const int lanes = lanesFor(path, n);
    if (lanes == 0) {
        buildRadix2Tables();
        windowed_.assign(static_cast<std::size_t>(n), 0.0f);
        return;
    }
    buildVectorTables(lanes);
    selectVectorTransforms(path, n, vector_);
}

bool RealFft::machineRuns(Path path) noexcept
{
    switch (path) {
    case Path::Portable:
        return true;
    case Path::Sse2:
        return kHaveX86Paths;
    case Path::Avx2Fma:
        return kHaveX86Paths && cpuHasAvx2Fma();
    }
    return false;
}

RealFft::Path RealFft::fastestPath() noexcept
{
    if (machineRuns(Path::Avx2Fma)) {
        return Path::Avx2Fma;
    }
    return machineRuns(Path::Sse2) ? Path::Sse2 : Path::Portable;
}

void RealFft::buildRadix2Tables()
{
    const int n = size_;
    // 1. Bit-reversal table: each entry is the previous one with a bit-reversed increment
    //    (toggle the top bit N/2; while the toggled bit is now clear, toggle the next lower
    //    bit), so entry j holds the B-bit reversal of j.
    bitReverse_.assign(static_cast<std::size_t>(n), 0);
    std::int32_t r = 0;
    for (int j = 1; j < n; ++j) {
        std::int32_t bit = n >> 1;
        r ^= bit;
        while (bit != 0 && (r & bit) == 0) {
            bit >>= 1;
            r ^= bit;
        }
        bitReverse_[static_cast<std::size_t>(j)] = r;
    }

    // 2. Cosine tables for levels L = 3 ... B-1: level L has M = 2^(L-1) entries at index
    //    M - 4 onward, entry j = cos(j*pi/2^L) in double precision, stored as float.
    if (bits_ > 3) {
        const double pi = 4.0 * std::atan(1.0);
        cosTable_.assign((std::size_t{1} << (bits_ - 1)) - 4, 0.0f);
        for (int level = 3; level < bits_; ++level) {
            const int m = 1 << (level - 1);
            const double denominator = static_cast<double>(1 << level);
            for (int j = 0; j < m; ++j) {
                cosTable_[static_cast<std::size_t>(m - 4 + j)] =
                    static_cast<float>(std::cos(static_cast<double>(j) * pi / denominator));
            }
        }
    }

    // 3. Scratch buffer, needed only when there are at least two passes (N >= 8).
    if (bits_ > 2) {
        scratch_.assign(static_cast<std::size_t>(n), 0.0f);
    }
}

void RealFft::buildVectorTables(int lanes)
{
    const int n = size_;
    const int p = n / (2 * lanes);
    const double pi = 4.0 * std::atan(1.0);
    std::vector<float> stage;
    for (int length = p; length >= 8; length /= 4) {
        for (int j = 0; j < length / 4; ++j) {
            for (int m = 1; m <= 3; ++m) {
                // Slot order: W^j, W^2j, W^3j.
                const int power = m == 1 ? j : (m == 2 ? 2 * j : 3 * j);
                const double angle = 2.0 * pi * power / length;
                stage.push_back(static_cast<float>(std::cos(angle)));
                stage.push_back(static_cast<float>(-std::sin(angle)));
            }
        }
    }
    std::vector<float> fold;
    for (int k = 1; k <= p / 2; ++k) {
        const double angle = pi * k / p;
        fold.push_back(static_cast<float>(-0.5 * std::sin(angle)));
        fold.push_back(static_cast<float>(-0.5 * std::cos(angle)));
    }
    std::vector<float> lane(static_cast<std::size_t>(2 * lanes * p));
    for (int k = 0; k < p; ++k) {
        for (int r = 0; r < lanes; ++r) {
            const double angle = 2.0 * pi * static_cast<double>(r * k) / n;
            lane[static_cast<std::size_t>(2 * lanes * k + r)] = static_cast<float>(std::cos(angle));
            lane[static_cast<std::size_t>(2 * lanes * k + lanes + r)] = static_cast<float>(-std::sin(angle));
        }
    }
    std::vector<float> column(static_cast<std::size_t>(lanes * lanes));
    for (int q = 0; q < lanes / 2; ++q) {
        for (int r = 0; r < lanes; ++r) {
            const double angle = pi * r * (2 * q + 1) / lanes;
            column[static_cast<std::size_t>(2 * lanes * q + r)] = static_cast<float>(std::cos(angle));
            column[static_cast<std::size_t>(2 * lanes * q + lanes + r)] = static_cast<float>(std::sin(angle));
        }
    }

    // One block: the tables, then (64-byte aligned) the work buffer and the column values.
    constexpr std::size_t kAlignFloats = 16;
    const std::size_t tableFloats = stage.size() + fold.size() + lane.size() + column.size();
    vectorStorage_.assign(tableFloats + kAlignFloats + static_cast<std::size_t>(n + lanes), 0.0f);
    float* out = vectorStorage_.data();
    const auto append = [&out](const std::vector<float>& v) {
        const float* start = out;
        out = std::copy(v.begin(), v.end(), out);
        return start;
    };
    tables_.stageTwiddles = append(stage);
    tables_.foldTwiddles = append(fold);
    tables_.laneTwiddles = append(lane);
    tables_.columnTwiddles = append(column);
    const auto address = reinterpret_cast<std::uintptr_t>(out);
    out += ((64 - address % 64) % 64) / sizeof(float);
    tables_.work = out;
    tables_.column = out + n;

    int bits = 0;
    while ((1 << bits) < p) {
        ++bits;
    }
    laneReverse_.assign(static_cast<std::size_t>(p), 0);
    for (int j = 0; j < p; ++j) {
        int r = 0;
        for (int b = 0; b < bits; ++b) {
            r |= ((j >> b) & 1) << (bits - 1 - b);
        }
        laneReverse_[static_cast<std::size_t>(j)] = r;
    }
    tables_.reverse = laneReverse_.data();
    tables_.n = n;
    tables_.points = p;
}

void RealFft::forward(const float* x, float* f) noexcept
{
    assert(x != f);
    if (vector_.forward != nullptr) {
        vector_.forward(tables_, x, f);
    } else {
        forwardRadix2(x, f);
    }
}

void RealFft::inverse(const float* f, float* x) noexcept
{
    assert(f != x);
    if (vector_.inverse != nullptr) {
        vector_.inverse(tables_, f, x);
    } else {
        inverseRadix2(f, x);
    }
}

float RealFft::forwardWindowedRadix2(const float* firstHalf, const float* secondHalf, const float* window, float* f,
                                     bool measurePeak) noexcept
{
    const int half = size_ / 2;
    float* windowed = windowed_.data();
    for (int i = 0; i < half; ++i) {
        windowed[i] = firstHalf[i] * window[i];
        windowed[half + i] = secondHalf[i] * window[half + i];
    }
    forwardRadix2(windowed, f);
    return measurePeak ? std::max(peakOf(firstHalf, half), peakOf(secondHalf, half)) : 0.0f;
}

namespace {

// max |y[i] * gain| from max |y[i]|: rounding is monotonic, so the largest magnitude scaled is
// the largest scaled magnitude. An infinite peak times a zero gain is no peak.
float scaledPeak(float peak, float gain) noexcept
{
    const float scaled = peak * std::fabs(gain);
    return scaled == scaled ? scaled : 0.0f;
}

}  // namespace

float RealFft::inverseWindowedRadix2(const float* f, const float* scaledWindow, float gain, float* x,
                                     bool measurePeak) noexcept
{
    inverseRadix2(f, x);
    float peak = 0.0f;
    for (int i = 0; i < size_; ++i) {
        const float magnitude = std::fabs(x[i]);
        peak = peak < magnitude ? magnitude : peak;
        x[i] *= scaledWindow[i];
    }
    return measurePeak ? scaledPeak(peak, gain) : 0.0f;
}

float RealFft::inverseLeveledWindowedRadix2(const float* f, const float* levels, float* leveled, const float* window,
                                            float gain, float* x, bool measurePeak) noexcept
{
    float* spectrum = leveled != nullptr ? leveled : windowed_.data();
    const int half = size_ / 2;
    for (int k = 0; k < half; ++k) {
        spectrum[k] = f[k] * levels[k];
        spectrum[half + k] = f[half + k] * levels[k];
    }
    spectrum[half] = f[half] * levels[half];  // the Nyquist slot takes the last level
    return inverseWindowedRadix2(spectrum, window, gain, x, measurePeak);
}

void RealFft::forwardRadix2(const float* x, float* f) noexcept
{
    const int n = size_;

    if (n == 1) {
        f[0] = x[0];
        return;
    }
    if (n == 2) {
        f[0] = x[0] + x[1];
        f[1] = x[0] - x[1];
        return;
    }
    if (n == 4) {
        f[1] = x[0] - x[2];
        f[3] = x[1] - x[3];
        f[0] = (x[0] + x[2]) + (x[1] + x[3]);
        f[2] = (x[0] + x[2]) - (x[1] + x[3]);
        return;
    }

    // N >= 8: B - 1 passes in all; the first writes the scratch buffer when B is odd and the
    // output when B is even, so that the last pass ends in the output.
    float* const scratch = scratch_.data();
    float* dst = (bits_ & 1) != 0 ? scratch : f;
    float* spare = (bits_ & 1) != 0 ? f : scratch;
    const std::int32_t* const rev = bitReverse_.data();

    // Passes 1 and 2: 4-point real spectra of the inputs read through the bit-reversal table.
    for (int g = 0; g < n; g += 4) {
        const float a = x[rev[g]];
        const float b = x[rev[g + 1]];
        const float c = x[rev[g + 2]];
        const float d = x[rev[g + 3]];
        dst[g] = (a + b) + (c + d);
        dst[g + 1] = a - b;
        dst[g + 2] = (a + b) - (c + d);
        dst[g + 3] = c - d;
    }

    // Pass 3: two 4-point spectra p, q -> one 8-point packed spectrum.
    const float* src = dst;
    std::swap(dst, spare);
    const float s = sqrtHalf_;
    for (int g = 0; g < n; g += 8) {
        const float* p = src + g;
        const float* q = p + 4;
        float* o = dst + g;
        const float diff = s * (q[1] - q[3]);
        const float sum = s * (q[1] + q[3]);
        o[0] = p[0] + q[0];
        o[4] = p[0] - q[0];
        o[2] = p[2];
        o[6] = q[2];
        o[1] = p[1] + diff;
        o[3] = p[1] - diff;
        o[5] = p[3] + sum;
        o[7] = sum - p[3];
    }

    // Passes L = 3 ... B-1: two packed spectra of length E -> one of length 2E.
    for (int level = 3; level < bits_; ++level) {
        src = dst;
        std::swap(dst, spare);
        const int e = 1 << level;
        const int h = e / 2;
        const float* const table = cosTable_.data() + (h - 4);
        for (int block = 0; block < n; block += 2 * e) {
            const float* sb = src + block;
            float* d = dst + block;
            d[0] = sb[0] + sb[e];
            d[e] = sb[0] - sb[e];
            d[h] = sb[h];
            d[e + h] = sb[e + h];
            for (int j = 1; j < h; ++j) {
                const float c = table[j];
                const float sn = table[h - j];
                const float t = sb[e + j] * c - sb[e + h + j] * sn;
                const float u = sb[e + j] * sn + sb[e + h + j] * c;
                d[j] = sb[j] + t;
                d[e - j] = sb[j] - t;
                d[e + j] = u + sb[h + j];
                d[2 * e - j] = u - sb[h + j];
            }
        }
    }
    assert(dst == f);
}

void RealFft::inverseRadix2(const float* f, float* x) noexcept
{
    const int n = size_;

    if (n == 1) {
        x[0] = f[0];
        return;
    }
    if (n == 2) {
        x[0] = f[0] + f[1];
        x[1] = f[0] - f[1];
        return;
    }
    if (n == 4) {
        x[0] = (f[0] + f[2]) + 2.0f * f[1];
        x[2] = (f[0] + f[2]) - 2.0f * f[1];
        x[1] = (f[0] - f[2]) + 2.0f * f[3];
        x[3] = (f[0] - f[2]) - 2.0f * f[3];
        return;
    }

    // N >= 8: the input is read only by the first stage; the intermediate results alternate
    // between the output and the scratch buffer, starting with the scratch buffer when B is
    // odd and with the output when B is even, so that the 8-point stage writes the scratch
    // buffer and the last stage reads it and writes the output.
    float* const scratch = scratch_.data();
    const float* src = f;
    float* dst = (bits_ & 1) != 0 ? scratch : x;
    float* spare = (bits_ & 1) != 0 ? x : scratch;

    // Passes L = B-1 down to 3: one packed spectrum of length 2E -> two of length E, each
    // times 2.
    for (int level = bits_ - 1; level >= 3; --level) {
        const int e = 1 << level;
        const int h = e / 2;
        const float* const table = cosTable_.data() + (h - 4);
        for (int block = 0; block < n; block += 2 * e) {
            const float* d = src + block;
            float* sb = dst + block;
            sb[0] = d[0] + d[e];
            sb[e] = d[0] - d[e];
            sb[h] = 2.0f * d[h];
            sb[e + h] = 2.0f * d[e + h];
            for (int j = 1; j < h; ++j) {
                const float c = table[j];
                const float sn = table[h - j];
                sb[j] = d[j] + d[e - j];
                sb[h + j] = d[e + j] - d[2 * e - j];
                const float a = d[j] - d[e - j];
                const float b = d[e + j] + d[2 * e - j];
                sb[e + j] = a * c + b * sn;
                sb[e + h + j] = b * c - a * sn;
            }
        }
        src = dst;
        std::swap(dst, spare);
    }

    // The 8-point stage: each block of 8 -> two 4-point spectra p, q (times 2).
    assert(dst == scratch);
    const float r = sqrtHalf_;
    for (int g = 0; g < n; g += 8) {
        const float* sb = src + g;
        float* p = dst + g;
        float* q = p + 4;
        const float v = sb[5] + sb[7];
        const float w = sb[1] - sb[3];
        p[0] = sb[0] + sb[4];
        q[0] = sb[0] - sb[4];
        p[2] = 2.0f * sb[2];
        q[2] = 2.0f * sb[6];
        p[1] = sb[1] + sb[3];
        p[3] = sb[5] - sb[7];
        q[1] = (v + w) * r;
        q[3] = (v - w) * r;
    }

    // The last stage: each 4-point spectrum (e, f, g, d) -> four outputs (times 4), written
    // through the bit-reversal table.
    const std::int32_t* const rev = bitReverse_.data();
    const float* const sb = dst;
    for (int g = 0; g < n; g += 4) {
        const float e0 = sb[g];
        const float f1 = sb[g + 1];
        const float g2 = sb[g + 2];
        const float d3 = sb[g + 3];
        x[rev[g]] = (e0 + g2) + 2.0f * f1;
        x[rev[g + 1]] = (e0 + g2) - 2.0f * f1;
        x[rev[g + 2]] = (e0 - g2) + 2.0f * d3;
        x[rev[g + 3]] = (e0 - g2) - 2.0f * d3;
    }
}
