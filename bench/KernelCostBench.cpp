// The kernel's whole cost per channel against the transforms it runs. The kernel is fed as a
// host feeds it, in blocks of 512 samples; every hop of N/2 samples it windows a frame,
// transforms it, applies the levels, transforms back, overlaps and mixes. KernelChannelBlock
// times blocks alone and TransformPair the forward and inverse transform of one frame alone;
// KernelOverTransforms alternates batches of the two in one loop, so that a busy machine slows
// both alike, and reports both per hop and their ratio ("ratio"), with the editor closed and
// open; OverlapKernelOverTransforms does the same at every overlap (a hop of N/2, N/4, N/8).

#include "dsp/CHalvardKernel.h"
#include "dsp/RealFft.h"
#include "dsp/SpectralEngine.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<float> noise(int count)
{
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> samples(static_cast<std::size_t>(count));
    for (float& s : samples) {
        s = uniform(generator);
    }
    return samples;
}

// One channel's kernel at FFT size index sizeIndex with every level at 0.7 and no script;
// displayed: an editor shows the meters and spectra (the last frame of each block measures the
// output peak).
class ChannelUnderTest {
public:
    ChannelUnderTest(int sizeIndex, bool displayed, int overlap = 2) : n_(32 << sizeIndex)
    {
        engine_.makeTransforms();
        BlockParameters& block = engine_.block();
        block.sizeIndex = sizeIndex;
        block.fftSize = n_;
        block.overlap = overlap;
        block.levels = levels_.data();
        block.levelsGeneration = &generation_;
        block.dryGain = 0.5f;
        block.wetGain = 0.5f;
        block.inputGain = 1.0f;
        block.outputGain = 1.0f;
        block.displayed = displayed;
    }

    static constexpr int kBlock = 512;

    void block()
    {
        kernel_.process(input_.data(), output_.data(), kBlock);
        benchmark::DoNotOptimize(output_.data());
        benchmark::ClobberMemory();
    }

private:
    int n_;
    SpectralEngine engine_;
    std::vector<float> levels_ = std::vector<float>(2049, 0.7f);
    std::atomic<std::uint32_t> generation_{1};
    CHalvardKernel kernel_{engine_, 0};
    std::vector<float> input_ = noise(kBlock);
    std::vector<float> output_ = std::vector<float>(static_cast<std::size_t>(kBlock));
};

class TransformPairUnderTest {
public:
    explicit TransformPairUnderTest(int sizeIndex) : n_(32 << sizeIndex), fft_(n_) {}

    void run()
    {
        fft_.forward(input_.data(), spectrum_.data());
        fft_.inverse(spectrum_.data(), output_.data());
        benchmark::DoNotOptimize(output_.data());
        benchmark::ClobberMemory();
    }

private:
    int n_;
    RealFft fft_;
    std::vector<float> input_ = noise(n_);
    std::vector<float> spectrum_ = std::vector<float>(static_cast<std::size_t>(n_));
    std::vector<float> output_ = std::vector<float>(static_cast<std::size_t>(n_));
};

std::string sizeLabel(const benchmark::State& state) { return "N=" + std::to_string(32 << state.range(0)); }

std::string channelLabel(const benchmark::State& state)
{
    return sizeLabel(state) + (state.range(1) != 0 ? " editor open" : " editor closed");
}

// range(0): FFT size index 0..7; range(1): 1 when an editor is open.
void KernelChannelBlock(benchmark::State& state)
{
    ChannelUnderTest channel(static_cast<int>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        channel.block();
    }
    state.SetLabel(channelLabel(state));
}

void TransformPair(benchmark::State& state)
{
    TransformPairUnderTest transforms(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        transforms.run();
    }
    state.SetLabel(sizeLabel(state));
}

// The kernel per hop against a transform pair at frame size index sizeIndex and overlap, with
// the editor open or closed.
void timeKernelOverTransforms(benchmark::State& state, int sizeIndex, int overlap, bool displayed)
{
    // A batch is 8192 samples: 16 blocks, and 8192 / (N/overlap) hops (at least two).
    constexpr int kBlocks = 16;
    using Clock = std::chrono::steady_clock;
    const int hops = kBlocks * ChannelUnderTest::kBlock / ((32 << sizeIndex) / overlap);
    ChannelUnderTest channel(sizeIndex, displayed, overlap);
    TransformPairUnderTest transforms(sizeIndex);
    Clock::duration kernelTime{}, transformTime{};
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int i = 0; i < kBlocks; ++i) {
            channel.block();
        }
        const auto middle = Clock::now();
        for (int i = 0; i < hops; ++i) {
            transforms.run();
        }
        kernelTime += middle - start;
        transformTime += Clock::now() - middle;
    }
    const double hopsRun = static_cast<double>(state.iterations()) * hops;
    const double kernelNs = std::chrono::duration<double, std::nano>(kernelTime).count() / hopsRun;
    const double transformNs = std::chrono::duration<double, std::nano>(transformTime).count() / hopsRun;
    state.counters["kernel_ns"] = kernelNs;
    state.counters["transforms_ns"] = transformNs;
    state.counters["ratio"] = kernelNs / transformNs;
}

void KernelOverTransforms(benchmark::State& state)
{
    timeKernelOverTransforms(state, static_cast<int>(state.range(0)), 2, state.range(1) != 0);
    state.SetLabel(channelLabel(state));
}

// range(0): FFT size index; range(1): "Overlap" index (0 "2x", 1 "4x", 2 "8x"); editor closed.
void OverlapKernelOverTransforms(benchmark::State& state)
{
    const int overlap = 2 << state.range(1);
    timeKernelOverTransforms(state, static_cast<int>(state.range(0)), overlap, false);
    state.SetLabel(sizeLabel(state) + " " + std::to_string(overlap) + "x");
}

}  // namespace

BENCHMARK(KernelChannelBlock)->ArgsProduct({benchmark::CreateDenseRange(0, 7, 1), {0, 1}})->Unit(benchmark::kNanosecond);
BENCHMARK(TransformPair)->DenseRange(0, 7)->Unit(benchmark::kNanosecond);
BENCHMARK(KernelOverTransforms)->ArgsProduct({benchmark::CreateDenseRange(0, 7, 1), {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(OverlapKernelOverTransforms)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 7, 1), {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
