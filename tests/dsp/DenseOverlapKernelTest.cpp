// The kernel at 4x and 8x overlap: unity levels give back the input N samples late at every
// frame size, host block size and hop phase (as 2x does); 2x sounds exactly as it always
// did; hard cuts between bins leave far less behind than at 2x; a change of overlap starts
// from silence; scripts run once per hop and learn the overlap; the meters follow.

#include "dsp/CHalvardKernel.h"
#include "dsp/SpectralEngine.h"
#include "dsp/SpectralScriptRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<float> noise(int count, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(static_cast<std::size_t>(count));
    for (float& v : x) {
        v = dist(rng);
    }
    return x;
}

struct Mix {
    float dry, wet, input, output;
};

// One channel's kernel with its engine, levels and block parameters, fed as a host feeds it.
class KernelRig {
public:
    KernelRig(int sizeIndex, int overlap, Mix mix) : levels(2049, 1.0f)
    {
        engine.makeTransforms();
        BlockParameters& block = engine.block();
        block.sizeIndex = sizeIndex;
        block.fftSize = 32 << sizeIndex;
        block.overlap = overlap;
        block.levels = levels.data();
        block.levelsGeneration = &generation;
        block.dryGain = mix.dry;
        block.wetGain = mix.wet;
        block.inputGain = mix.input;
        block.outputGain = mix.output;
        kernel = std::make_unique<CHalvardKernel>(engine, 0);
    }
    int n() const { return engine.block().fftSize; }
    void setLevels(int from, int to, float level)
    {
        std::fill(levels.begin() + from, levels.begin() + to + 1, level);
        generation.fetch_add(1);
    }
    // Runs input through in blocks of blockSize (the last one shorter).
    std::vector<float> run(const std::vector<float>& input, int blockSize)
    {
        std::vector<float> output(input.size());
        for (std::size_t done = 0; done < input.size(); done += static_cast<std::size_t>(blockSize)) {
            const int frames = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(blockSize), input.size() - done));
            kernel->process(input.data() + done, output.data() + done, frames);
        }
        return output;
    }

    SpectralEngine engine;
    std::vector<float> levels;
    std::atomic<std::uint32_t> generation{1};
    std::unique_ptr<CHalvardKernel> kernel;
};

// 10 log10 of the energy of output - input delayed by delay over the input's energy.
double nullDepthDb(const std::vector<float>& input, const std::vector<float>& output, int delay)
{
    double error = 0.0, signal = 0.0;
    for (std::size_t t = 0; t < output.size(); ++t) {
        const double expected = t >= static_cast<std::size_t>(delay) ? input[t - static_cast<std::size_t>(delay)] : 0.0;
        error += (output[t] - expected) * (output[t] - expected);
        signal += expected * expected;
    }
    return 10.0 * std::log10(error / signal + 1e-300);
}

TEST(DenseOverlapTest, UnityNullsAgainstTheInputDelayedByNAtEverySizeOverlapAndBlockSize)
{
    for (int sizeIndex = 0; sizeIndex < SpectralEngine::kSizeCount; ++sizeIndex) {
        for (int overlap : {2, 4, 8}) {
            for (int blockSize : {1, 37, 512, 4099}) {
                KernelRig rig(sizeIndex, overlap, {0.0f, 1.0f, 1.0f, 1.0f});
                const std::vector<float> input = noise(4 * rig.n() + 5000, 7);
                EXPECT_LE(nullDepthDb(input, rig.run(input, blockSize), rig.n()), -120.0)
                    << "N = " << rig.n() << ", " << overlap << "x, blocks of " << blockSize;
            }
        }
    }
}

TEST(DenseOverlapTest, TheDryPathIsTheInputDelayedByNExactly)
{
    for (int overlap : {4, 8}) {
        KernelRig rig(3, overlap, {1.0f, 0.0f, 1.0f, 1.0f});
        const std::vector<float> input = noise(2000, 8);
        const std::vector<float> output = rig.run(input, 61);
        EXPECT_TRUE(std::equal(output.begin() + rig.n(), output.end(), input.begin())) << overlap << "x";
    }
}

// The stop band of a brick-wall band-stop (bins 10 % to 20 % of Nyquist cut), white noise in,
// below the pass band in dB: mean power per bin 4 kernel bins inside the band edges against
// the pass band's. The output's spectrum is a Welch estimate over 4N-point segments with a
// 7-term Blackman-Harris window, whose leakage stays far below what is measured.
double bandStopRejectionDb(int sizeIndex, int overlap)
{
    KernelRig rig(sizeIndex, overlap, {0.0f, 1.0f, 1.0f, 1.0f});
    const int n = rig.n();
    const int half = n / 2;
    const int low = half / 10;
    const int high = half / 5;
    rig.setLevels(low, high, 0.0f);
    const int m = 4 * n;
    const std::vector<float> output = rig.run(noise(48 * m + n, 9), 512);

    const double a[7] = {0.27105140069342, -0.43329793923448, 0.21812299954311, -0.06592544638803,
                         0.01081174209837, -0.00077658482522, 0.00001388721735};
    std::vector<float> window(static_cast<std::size_t>(m)), segment(window.size()), spectrum(window.size());
    for (int i = 0; i < m; ++i) {
        double w = 0.0;
        for (int j = 0; j < 7; ++j) {
            w += a[j] * std::cos(2.0 * 3.14159265358979323846 * j * i / m);
        }
        window[static_cast<std::size_t>(i)] = static_cast<float>(w);
    }
    RealFft transform(m);
    std::vector<double> power(static_cast<std::size_t>(m / 2));
    for (int start = n; start + m <= static_cast<int>(output.size()); start += m / 2) {
        for (int i = 0; i < m; ++i) {
            segment[static_cast<std::size_t>(i)] = output[static_cast<std::size_t>(start + i)] * window[static_cast<std::size_t>(i)];
        }
        transform.forward(segment.data(), spectrum.data());
        for (int k = 1; k < m / 2; ++k) {
            const double re = spectrum[static_cast<std::size_t>(k)], im = spectrum[static_cast<std::size_t>(m / 2 + k)];
            power[static_cast<std::size_t>(k)] += re * re + im * im;
        }
    }
    // Kernel bin k is measurement bin 4k.
    auto meanPower = [&](int from, int to) {
        double sum = 0.0;
        for (int k = 4 * from; k <= 4 * to; ++k) {
            sum += power[static_cast<std::size_t>(k)];
        }
        return sum / (4 * (to - from) + 1);
    };
    const double pass = (meanPower(4, low - 4) + meanPower(high + 4, half - 4)) / 2.0;
    return 10.0 * std::log10(pass / meanPower(low + 4, high - 4));
}

TEST(DenseOverlapTest, HardCutsLeaveFarLessBehindAtFourAndEightTimes)
{
    for (int sizeIndex : {3, 5, 7}) {
        const double twoTimes = bandStopRejectionDb(sizeIndex, 2);
        const double fourTimes = bandStopRejectionDb(sizeIndex, 4);
        const double eightTimes = bandStopRejectionDb(sizeIndex, 8);
        RecordProperty("rejection_dB_N" + std::to_string(32 << sizeIndex),
                       std::to_string(twoTimes) + " / " + std::to_string(fourTimes) + " / " + std::to_string(eightTimes));
        EXPECT_GE(fourTimes - twoTimes, 10.0) << "N = " << (32 << sizeIndex);
        EXPECT_GE(eightTimes - twoTimes, 18.0) << "N = " << (32 << sizeIndex);
    }
}

// Counts the frames it is run on and keeps the overlap it was told.
class CountingScript : public SpectralScriptRunner {
public:
    int frames = 0;
    int overlap = 0;
    void runSpectralScript(int, float*, int, int frameOverlap) override
    {
        ++frames;
        overlap = frameOverlap;
    }
};

TEST(DenseOverlapTest, ScriptsRunOncePerHopAndAreToldTheOverlap)
{
    for (int overlap : {2, 4, 8}) {
        KernelRig rig(3, overlap, {0.0f, 1.0f, 1.0f, 1.0f});  // N = 256
        CountingScript script;
        rig.engine.setScriptRunner(&script);
        rig.engine.block().scriptIndex = 1;
        rig.run(noise(25 * 256, 3), 100);
        // 2x frames once at the start too; the dense overlaps frame first one hop in.
        EXPECT_EQ(script.frames, 25 * overlap + (overlap == 2 ? 1 : 0)) << overlap << "x";
        EXPECT_EQ(script.overlap, overlap);
    }
}

// A change of overlap (or of frame size) starts the frames again from silence: what follows
// is what a new kernel gives for the input from then on.
TEST(DenseOverlapTest, AChangeOfOverlapStartsFromSilence)
{
    const struct {
        int from, to;
    } changes[] = {{2, 4}, {4, 8}, {8, 2}, {8, 4}};
    const std::vector<float> input = noise(3000, 4);
    for (const auto& change : changes) {
        KernelRig changed(2, change.from, {0.5f, 1.0f, 1.0f, 1.0f});
        KernelRig fresh(2, change.to, {0.5f, 1.0f, 1.0f, 1.0f});
        changed.run(std::vector<float>(input.begin(), input.begin() + 1001), 77);
        changed.engine.block().overlap = change.to;
        const std::vector<float> rest(input.begin() + 1001, input.end());
        EXPECT_EQ(changed.run(rest, 77), fresh.run(rest, 77)) << change.from << "x to " << change.to << "x";
    }
}

// The meters read the input and output peaks of the last frame of each block; at the dense
// overlaps too they follow a steady tone's amplitude.
TEST(DenseOverlapTest, TheMetersFollowASteadyTone)
{
    for (int overlap : {4, 8}) {
        KernelRig rig(5, overlap, {0.0f, 1.0f, 1.0f, 1.0f});
        rig.engine.block().displayed = true;
        std::vector<float> tone(8192);
        for (std::size_t t = 0; t < tone.size(); ++t) {
            tone[t] = 0.5f * static_cast<float>(std::sin(0.05 * static_cast<double>(t)));
        }
        rig.run(tone, 512);
        EXPECT_NEAR(rig.kernel->inputPeak(), 0.5f, 0.001f) << overlap << "x";
        EXPECT_NEAR(rig.kernel->outputPeak(), 0.5f, 0.01f) << overlap << "x";
        EXPECT_NE(rig.kernel->analysisSpectrum(), nullptr);
    }
}

// A NaN from the host is silenced, counted, and gone one frame length later: then the output
// is again the dry and wet input, N samples late.
TEST(DenseOverlapTest, ANonFiniteInputIsSilencedAndLeavesNoTrace)
{
    for (int overlap : {4, 8}) {
        KernelRig rig(2, overlap, {0.5f, 1.0f, 1.0f, 1.0f});  // N = 128
        std::vector<float> input = noise(4000, 5);
        input[1500] = std::nanf("");
        const std::vector<float> output = rig.run(input, 64);
        EXPECT_TRUE(std::all_of(output.begin(), output.end(), [](float v) { return std::isfinite(v); }));
        EXPECT_EQ(rig.engine.nonFiniteClears(), 1u);
        float worst = 0.0f;
        for (std::size_t t = 1500 + 3 * 128; t < output.size(); ++t) {
            worst = std::max(worst, std::fabs(output[t] - 1.5f * input[t - 128]));
        }
        EXPECT_LT(worst, 1e-5f) << overlap << "x";
    }
}

// FNV-1a over the output bits of a kernel at 2x with uneven levels and gains, fed in uneven
// pieces through a level change, for every size: the samples the 2x kernel gave before the
// dense overlaps came, on the AVX2 + FMA transforms (the checksums differ on other paths).
std::uint64_t twoTimesChecksum(int sizeIndex)
{
    KernelRig rig(sizeIndex, 2, {0.25f, 0.75f, 1.5f, 0.9f});
    for (int k = 0; k < 2049; ++k) {
        rig.levels[static_cast<std::size_t>(k)] = static_cast<float>(k % 7) / 6.0f;
    }
    const int total = 5 * rig.n() + 13;
    const std::vector<float> input = noise(total, 11);
    std::vector<float> output(static_cast<std::size_t>(total));
    int done = 0;
    for (int piece = 1; done < total; piece = piece * 3 % 61 + 1) {
        const int frames = std::min(piece, total - done);
        if (done > total / 2 && rig.levels[3] != 0.5f) {
            rig.setLevels(3, 3, 0.5f);
        }
        rig.kernel->process(input.data() + done, output.data() + done, frames);
        done += frames;
    }
    std::uint64_t hash = 14695981039346656037u;
    for (float v : output) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        hash = (hash ^ bits) * 1099511628211u;
    }
    return hash;
}

TEST(DenseOverlapTest, TwoTimesGivesTheSamplesItAlwaysGave)
{
#ifdef LUMENFOLD_SANITIZED_BUILD
    GTEST_SKIP() << "the pinned checksums are those of the plain build's arithmetic";
#endif
    SpectralEngine probe;
    probe.makeTransforms();
    if (probe.transform(SpectralEngine::kSizeCount - 1).path() != RealFft::Path::Avx2Fma) {
        GTEST_SKIP() << "the pinned checksums are those of the AVX2 + FMA transforms";
    }
    const std::uint64_t pinned[SpectralEngine::kSizeCount] = {
        0x3d91d8576668ade3u, 0x49a26624bb81a842u, 0xf7fb2aaa3a075b40u, 0x3d985fdc5bcac9b8u,
        0xfa3a42062eee573du, 0x408254dfd6a13dadu, 0xe4ba78e3ca893591u, 0x0ec64e9fbae9b839u};
    for (int sizeIndex = 0; sizeIndex < SpectralEngine::kSizeCount; ++sizeIndex) {
        EXPECT_EQ(twoTimesChecksum(sizeIndex), pinned[sizeIndex]) << "N = " << (32 << sizeIndex);
    }
}

}  // namespace
