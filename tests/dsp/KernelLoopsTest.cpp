// The kernel's loops at every width this machine runs give exactly what a plain one-sample-at-
// a-time loop gives (same operations, same order), including the tails of odd sample counts,
// misaligned buffers and in-place work; a whole kernel gives bit-identical output on every
// width; and nothing non-finite gets through the mix or stays in a kernel.

#include "dsp/CHalvardKernel.h"
#include "dsp/KernelLoops.h"
#include "dsp/SpectralEngine.h"
#include "dsp/SpectralScriptRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<KernelLoops::Width> widthsThisMachineRuns()
{
    std::vector<KernelLoops::Width> widths{KernelLoops::Width::Four};
    if (KernelLoops::machineRuns(KernelLoops::Width::Eight)) {
        widths.push_back(KernelLoops::Width::Eight);
    }
    return widths;
}

std::vector<float> randomFloats(int count, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-2.0f, 2.0f);
    std::vector<float> x(static_cast<std::size_t>(count));
    for (float& v : x) {
        v = dist(rng);
    }
    return x;
}

bool sameBits(const float* a, const float* b, int count)
{
    return std::memcmp(a, b, static_cast<std::size_t>(count) * sizeof(float)) == 0;
}

class KernelLoopsTest : public ::testing::TestWithParam<KernelLoops::Width> {
protected:
    KernelLoops loops = KernelLoops::of(GetParam());
};

// Each bin of the packed spectrum gets its own level: DC and Nyquist (the real slots 0 and
// n/2) theirs, every other bin k its real and imaginary parts both times levels[k].
TEST_P(KernelLoopsTest, LevelsScaleEveryBinOfThePackedSpectrumInPlaceOrNot)
{
    for (int n = 32; n <= 4096; n *= 2) {
        const int half = n / 2;
        const std::vector<float> spectrum = randomFloats(n, 4);
        const std::vector<float> levels = randomFloats(half + 1, 5);
        const auto at = [](int i) { return static_cast<std::size_t>(i); };
        std::vector<float> expected(at(n));
        expected[0] = spectrum[0] * levels[0];
        expected[at(half)] = spectrum[at(half)] * levels[at(half)];
        for (int k = 1; k < half; ++k) {
            expected[at(k)] = spectrum[at(k)] * levels[at(k)];
            expected[at(half + k)] = spectrum[at(half + k)] * levels[at(k)];
        }
        std::vector<float> to(at(n));
        loops.applyLevels(spectrum.data(), levels.data(), to.data(), n);
        EXPECT_TRUE(sameBits(to.data(), expected.data(), n)) << "n = " << n;
        std::vector<float> inPlace(spectrum);
        loops.applyLevels(inPlace.data(), levels.data(), inPlace.data(), n);
        EXPECT_TRUE(sameBits(inPlace.data(), expected.data(), n)) << "n = " << n;
    }
}

TEST_P(KernelLoopsTest, MixCoversEveryTailAndWorksInPlace)
{
    constexpr int kMost = 37;
    const std::vector<float> out0 = randomFloats(kMost + 4, 7);
    const std::vector<float> out1 = randomFloats(kMost + 4, 8);
    const std::vector<float> previous = randomFloats(kMost + 4, 9);
    const std::vector<float> source = randomFloats(kMost + 4, 10);
    for (int count = 0; count <= kMost; ++count) {
        std::vector<float> fill(kMost + 4, -9.0f), output(kMost + 4, -9.0f);
        const SampleMix mix{fill.data() + 1, previous.data() + 3, out0.data() + 1, out1.data() + 2, 0.8f, 0.6f, 0.3f};
        loops.mixSamples(mix, source.data() + 1, output.data() + 3, count);
        std::vector<float> inPlace(source);
        std::vector<float> fillAgain(kMost + 4);
        const SampleMix again{fillAgain.data() + 1, previous.data() + 3, out0.data() + 1, out1.data() + 2, 0.8f, 0.6f, 0.3f};
        loops.mixSamples(again, inPlace.data() + 1, inPlace.data() + 1, count);
        for (int j = 0; j < count; ++j) {
            const auto at = [j](int offset) { return static_cast<std::size_t>(j + offset); };
            const float x = source[at(1)] * 0.8f;
            const float y = 0.6f * (out0[at(1)] + out1[at(2)]) + 0.3f * previous[at(3)];
            ASSERT_TRUE(sameBits(&fill[at(1)], &x, 1) && sameBits(&fillAgain[at(1)], &x, 1)) << count << " " << j;
            ASSERT_TRUE(sameBits(&output[at(3)], &y, 1)) << count << " " << j;
            ASSERT_TRUE(sameBits(&inPlace[at(1)], &y, 1)) << count << " " << j;
        }
        // Nothing past the stretch is written.
        EXPECT_EQ(fill[static_cast<std::size_t>(count + 1)], -9.0f);
        EXPECT_EQ(output[static_cast<std::size_t>(count + 3)], -9.0f);
    }
}

// The mix tells whether every sample it gave out was finite: a NaN or an infinity in the frames
// or the dry history, in the vector body or in the tail, and a sum that overflows. (A bad input
// sample only goes to the fill; it is caught when it reaches the output.)
TEST_P(KernelLoopsTest, MixReportsAnyNonFiniteSampleItStores)
{
    constexpr int kCount = 19;  // vectors of four or eight, then a tail
    const float inf = std::numeric_limits<float>::infinity();
    const auto mixes = [&](std::vector<std::vector<float>> sources) {
        std::vector<float> fill(kCount), output(kCount);
        const SampleMix mix{fill.data(), sources[3].data(), sources[1].data(), sources[2].data(), 0.8f, 0.6f, 0.3f};
        return loops.mixSamples(mix, sources[0].data(), output.data(), kCount);
    };
    const std::vector<std::vector<float>> clean(4, randomFloats(kCount, 3));
    EXPECT_TRUE(mixes(clean));
    for (int source = 1; source < 4; ++source) {  // out0, out1, previous0
        for (float bad : {std::nanf(""), inf, -inf}) {
            for (int at : {0, 9, kCount - 1}) {
                auto poisoned = clean;
                poisoned[static_cast<std::size_t>(source)][static_cast<std::size_t>(at)] = bad;
                EXPECT_FALSE(mixes(poisoned)) << "source " << source << ", " << bad << " at " << at;
            }
        }
    }
    auto huge = clean;
    huge[1][5] = huge[2][5] = 3.0e38f;
    EXPECT_FALSE(mixes(huge)) << "out0 + out1 overflows";
}

// The overlap-add and the frame peak of 4x and 8x: what a plain loop gives, tails included
// (a hop of N/8 may be 4 samples); a NaN never becomes the peak.
TEST_P(KernelLoopsTest, AccumulateAndPeakMatchPlainLoopsOnEveryTail)
{
    for (int count : {4, 8, 19, 1024}) {
        const std::vector<float> from = randomFloats(count + 1, 5);
        std::vector<float> to = randomFloats(count + 1, 6), expected = to;
        float peak = 0.0f, peakBeforeLast = 0.0f;
        for (int i = 0; i < count; ++i) {
            expected[static_cast<std::size_t>(i)] += from[static_cast<std::size_t>(i)];
            peakBeforeLast = peak;
            peak = std::max(peak, std::fabs(from[static_cast<std::size_t>(i)]));
        }
        loops.accumulate(to.data(), from.data(), count);
        EXPECT_TRUE(sameBits(to.data(), expected.data(), count + 1)) << count;
        EXPECT_EQ(loops.largestMagnitude(from.data(), count), peak) << count;
        std::vector<float> poisoned = from;
        poisoned[static_cast<std::size_t>(count - 1)] = std::nanf("");
        EXPECT_EQ(loops.largestMagnitude(poisoned.data(), count), peakBeforeLast) << count;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWidth, KernelLoopsTest, ::testing::ValuesIn(widthsThisMachineRuns()),
                         [](const auto& info) {
                             return info.param == KernelLoops::Width::Four ? std::string("FourLanes")
                                                                           : std::string("EightLanes");
                         });

struct Gains {
    float dry, wet, input, output;
};

// Makes the engine's transforms and sets the block parameters a kernel reads.
void prepare(SpectralEngine& engine, int sizeIndex, const std::vector<float>& levels,
             const std::atomic<std::uint32_t>& generation, Gains gains)
{
    engine.makeTransforms();
    BlockParameters& block = engine.block();
    block.sizeIndex = sizeIndex;
    block.fftSize = 32 << sizeIndex;
    block.levels = levels.data();
    block.levelsGeneration = &generation;
    block.dryGain = gains.dry;
    block.wetGain = gains.wet;
    block.inputGain = gains.input;
    block.outputGain = gains.output;
}

// A whole kernel, fed in uneven pieces through several frames and a level change, gives the
// same samples on every width, with an editor open or not.
std::vector<float> runKernel(KernelLoops::Width width, int sizeIndex, bool displayed)
{
    SpectralEngine engine;
    engine.useLoops(width);
    std::vector<float> levels(2049);
    for (std::size_t k = 0; k < levels.size(); ++k) {
        levels[k] = static_cast<float>(k % 7) / 6.0f;
    }
    std::atomic<std::uint32_t> generation{1};
    prepare(engine, sizeIndex, levels, generation, {0.25f, 0.75f, 1.5f, 0.9f});
    engine.block().displayed = displayed;
    const BlockParameters& block = engine.block();
    CHalvardKernel kernel(engine, 0);
    const int total = 5 * block.fftSize + 13;
    const std::vector<float> input = randomFloats(total, 11);
    std::vector<float> output(static_cast<std::size_t>(total));
    int done = 0;
    for (int piece = 1; done < total; piece = piece * 3 % 61 + 1) {
        const int frames = std::min(piece, total - done);
        if (done > total / 2 && levels[3] != 0.5f) {
            levels[3] = 0.5f;
            generation.fetch_add(1);
        }
        kernel.process(input.data() + done, output.data() + done, frames);
        done += frames;
    }
    return output;
}

TEST(KernelWidthTest, EveryWidthGivesTheSameSamplesWithAnEditorOpenOrNot)
{
    for (int sizeIndex = 0; sizeIndex < SpectralEngine::kSizeCount; ++sizeIndex) {
        const std::vector<float> reference = runKernel(KernelLoops::Width::Four, sizeIndex, true);
        for (KernelLoops::Width width : widthsThisMachineRuns()) {
            for (bool displayed : {true, false}) {
                const std::vector<float> output = runKernel(width, sizeIndex, displayed);
                EXPECT_TRUE(sameBits(output.data(), reference.data(), static_cast<int>(output.size())))
                    << "N = " << (32 << sizeIndex) << (width == KernelLoops::Width::Eight ? ", eight" : ", four")
                    << (displayed ? ", shown" : ", not shown");
            }
        }
    }
}

// A script that writes a NaN into one bin of every frame while armed.
class NanWritingScript : public SpectralScriptRunner {
public:
    bool armed = false;
    void runSpectralScript(int, float* spectrum, int, int) override
    {
        if (armed) {
            spectrum[3] = std::nanf("");
        }
    }
};

// Whatever brings a NaN or an infinity into a kernel (the host's input, a bin level, a level
// that overflows the spectrum, a script), nothing non-finite comes out, the engine reports it
// in one line (the run is shorter than its report interval), and once it is gone the kernel
// gives the samples of a kernel that never met it.
TEST(KernelNonFiniteTest, PoisonIsSilencedReportedOnceAndLeavesNoTrace)
{
    constexpr int kSizeIndex = 2;  // N = 128
    constexpr int kHop = (32 << kSizeIndex) / 2;
    constexpr int kPieces = 24;
    constexpr int kPoisonFrom = 4, kPoisonTo = 8;
    constexpr int kEqualFrom = kPoisonTo + 1 + 2 * 2;  // the clear, then two frame lengths
    enum Poison { InputNaN, InputInfinity, LevelNaN, LevelOverflow, ScriptNaN };
    const std::vector<float> input = randomFloats(kPieces * kHop, 13);
    const Gains gains{0.5f, 0.5f, 1.5f, 1.0f};

    std::vector<float> cleanLevels(2049, 0.5f);
    std::atomic<std::uint32_t> cleanGeneration{1};
    SpectralEngine referenceEngine;
    prepare(referenceEngine, kSizeIndex, cleanLevels, cleanGeneration, gains);
    CHalvardKernel reference(referenceEngine, 0);
    std::vector<float> expected(input.size());
    for (int p = 0; p < kPieces; ++p) {
        reference.process(input.data() + p * kHop, expected.data() + p * kHop, kHop);
    }

    for (Poison poison : {InputNaN, InputInfinity, LevelNaN, LevelOverflow, ScriptNaN}) {
        std::vector<float> levels(cleanLevels);
        std::atomic<std::uint32_t> generation{1};
        SpectralEngine engine;
        prepare(engine, kSizeIndex, levels, generation, gains);
        NanWritingScript script;
        engine.setScriptRunner(&script);
        CHalvardKernel kernel(engine, 0);
        std::vector<float> output(input.size());
        std::string lines;  // the instance's console in the plug-in
        engine.setReportLine([](void* to, const char* line) { *static_cast<std::string*>(to) += line; }, &lines);
        for (int p = 0; p < kPieces; ++p) {
            const bool on = p >= kPoisonFrom && p < kPoisonTo;
            std::vector<float> piece(input.begin() + p * kHop, input.begin() + (p + 1) * kHop);
            if (on && (poison == InputNaN || poison == InputInfinity)) {
                piece[7] = poison == InputNaN ? std::nanf("") : std::numeric_limits<float>::infinity();
            }
            levels[3] = on && poison == LevelNaN ? std::nanf("") : 0.5f;
            std::fill(levels.begin() + 4, levels.end(), on && poison == LevelOverflow ? 3.0e38f : 0.5f);
            generation.fetch_add(1);
            script.armed = on && poison == ScriptNaN;
            engine.block().scriptIndex = script.armed ? 1 : 0;
            kernel.process(piece.data(), output.data() + p * kHop, kHop);
            ASSERT_TRUE(std::isfinite(kernel.inputPeak()) && std::isfinite(kernel.outputPeak())) << poison << " " << p;
            engine.reportNonFinite(kHop);  // one piece per host block
        }
        EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1) << poison << ": " << lines;
        EXPECT_GT(engine.nonFiniteClears(), 0u) << poison;
        for (std::size_t i = 0; i < output.size(); ++i) {
            ASSERT_TRUE(std::isfinite(output[i])) << poison << " at " << i;
        }
        const std::size_t from = static_cast<std::size_t>(kEqualFrom * kHop);
        EXPECT_TRUE(sameBits(output.data() + from, expected.data() + from, static_cast<int>(output.size() - from)))
            << poison;
    }
}

// The meters read a kernel's peaks at the end of each block, and the kernel measures them
// only on the last frame of each piece. Fed in uneven pieces, its peaks after every piece must
// be those of the last frame completed: the input peak from the samples themselves, the
// output peak as a kernel fed one hop at a time (which measures every frame) reports it.
TEST(KernelPeakTest, PeaksAreThoseOfTheLastFrameAfterEveryPiece)
{
    constexpr int kSizeIndex = 2;  // N = 128
    constexpr int kN = 32 << kSizeIndex;
    constexpr int kHop = kN / 2;
    std::vector<float> levels(2049, 0.5f);
    std::atomic<std::uint32_t> generation{1};
    SpectralEngine unevenEngine, hopEngine;
    prepare(unevenEngine, kSizeIndex, levels, generation, {0.0f, 1.0f, 2.0f, 1.0f});
    prepare(hopEngine, kSizeIndex, levels, generation, {0.0f, 1.0f, 2.0f, 1.0f});
    CHalvardKernel uneven(unevenEngine, 0), byHop(hopEngine, 0);

    const int total = 12 * kN;
    std::vector<float> input = randomFloats(total, 12);
    for (int i = 0; i < total; i += 97) {
        input[static_cast<std::size_t>(i)] *= 3.0f;  // peaks that come and go
    }
    std::vector<float> output(static_cast<std::size_t>(total));
    int done = 0, hopDone = 0;
    for (int piece = 5; done < total; piece = piece * 7 % 151 + 1) {
        const int frames = std::min(piece, total - done);
        uneven.process(input.data() + done, output.data() + done, frames);
        done += frames;
        // Frames complete at every multiple of the hop, the first at sample 0.
        const int lastFrameEnd = done / kHop * kHop;
        while (hopDone < lastFrameEnd) {
            byHop.process(input.data() + hopDone, output.data() + hopDone, kHop);
            hopDone += kHop;
        }
        float expectedInputPeak = 0.0f;
        for (int i = std::max(0, lastFrameEnd - kN); i < lastFrameEnd; ++i) {
            expectedInputPeak = std::max(expectedInputPeak, std::fabs(input[static_cast<std::size_t>(i)] * 2.0f));
        }
        ASSERT_EQ(uneven.inputPeak(), expectedInputPeak) << "after " << done << " samples";
        if (lastFrameEnd > 0) {
            ASSERT_EQ(uneven.outputPeak(), byHop.outputPeak()) << "after " << done << " samples";
        }
    }
    EXPECT_GT(uneven.outputPeak(), 0.0f);
}

}  // namespace
