// Benchmark of RealFft: one forward + inverse pair per iteration, as the
// kernel runs them once per frame per channel, for N = 32 ... 4096. The reported
// time per iteration is the time per pair in nanoseconds.
//
// Side by side, when fftw3f was found at configure time: FFTW single precision, r2c followed
// by c2r, both planned with FFTW_MEASURE (planning is outside the timed loop). FFTW is a
// benchmark-only reference; the plug-in never links it.
//
// Run e.g.: lumenfold_bench_fft --benchmark_min_time=0.05

#include "dsp/RealFft.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#ifdef LUMENFOLD_BENCH_HAVE_FFTW3F
#include <fftw3.h>
#endif

namespace {

constexpr int kMinSize = 32;
constexpr int kMaxSize = 4096;

std::vector<float> makeSignal(int n)
{
    std::mt19937 rng(20240601u + static_cast<std::uint32_t>(n));
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(static_cast<std::size_t>(n));
    for (float& v : x) {
        v = dist(rng);
    }
    return x;
}

void runPair(benchmark::State& state, RealFft::Path path)
{
    const int n = static_cast<int>(state.range(0));
    if (!RealFft::machineRuns(path)) {
        state.SkipWithError("this CPU cannot run the path");
        return;
    }
    RealFft fft(n, path);
    const std::vector<float> x = makeSignal(n);
    std::vector<float> spectrum(x.size());
    std::vector<float> back(x.size());
    for (auto _ : state) {
        fft.forward(x.data(), spectrum.data());
        fft.inverse(spectrum.data(), back.data());
        benchmark::DoNotOptimize(back.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations()); // items = forward+inverse pairs
}

// The path the plug-in gets on this machine.
void BM_RealFft_ForwardInverse(benchmark::State& state) { runPair(state, RealFft::fastestPath()); }
BENCHMARK(BM_RealFft_ForwardInverse)->RangeMultiplier(2)->Range(kMinSize, kMaxSize)->Unit(benchmark::kNanosecond);

// Each path forced, for comparison.
void BM_RealFftPortable_ForwardInverse(benchmark::State& state) { runPair(state, RealFft::Path::Portable); }
void BM_RealFftSse2_ForwardInverse(benchmark::State& state) { runPair(state, RealFft::Path::Sse2); }
void BM_RealFftAvx2Fma_ForwardInverse(benchmark::State& state) { runPair(state, RealFft::Path::Avx2Fma); }
BENCHMARK(BM_RealFftPortable_ForwardInverse)->RangeMultiplier(2)->Range(kMinSize, kMaxSize)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_RealFftSse2_ForwardInverse)->RangeMultiplier(2)->Range(kMinSize, kMaxSize)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_RealFftAvx2Fma_ForwardInverse)->RangeMultiplier(2)->Range(kMinSize, kMaxSize)->Unit(benchmark::kNanosecond);

#ifdef LUMENFOLD_BENCH_HAVE_FFTW3F

// FFTW buffers and plans for one size, released on every path.
class FftwPair {
public:
    explicit FftwPair(int n)
        : real_(fftwf_alloc_real(static_cast<std::size_t>(n))),
          complex_(fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1))),
          back_(fftwf_alloc_real(static_cast<std::size_t>(n)))
    {
        if (real_ != nullptr && complex_ != nullptr && back_ != nullptr) {
            // FFTW_MEASURE overwrites the arrays while planning: fill the input afterwards.
            forward_ = fftwf_plan_dft_r2c_1d(n, real_, complex_, FFTW_MEASURE);
            inverse_ = fftwf_plan_dft_c2r_1d(n, complex_, back_, FFTW_MEASURE);
        }
    }
    FftwPair(const FftwPair&) = delete;
    FftwPair& operator=(const FftwPair&) = delete;
    ~FftwPair()
    {
        if (inverse_ != nullptr) {
            fftwf_destroy_plan(inverse_);
        }
        if (forward_ != nullptr) {
            fftwf_destroy_plan(forward_);
        }
        fftwf_free(back_);
        fftwf_free(complex_);
        fftwf_free(real_);
    }

    [[nodiscard]] bool valid() const { return forward_ != nullptr && inverse_ != nullptr; }
    float* input() { return real_; }
    float* output() { return back_; }
    void run()
    {
        fftwf_execute(forward_);
        fftwf_execute(inverse_); // c2r may overwrite complex_; the next r2c rewrites it
    }

private:
    float* real_;
    fftwf_complex* complex_;
    float* back_;
    fftwf_plan forward_ = nullptr;
    fftwf_plan inverse_ = nullptr;
};

void BM_Fftw_ForwardInverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    FftwPair fftw(n);
    if (!fftw.valid()) {
        state.SkipWithError("FFTW planning failed");
        return;
    }
    const std::vector<float> x = makeSignal(n);
    std::copy(x.begin(), x.end(), fftw.input());
    for (auto _ : state) {
        fftw.run();
        benchmark::DoNotOptimize(fftw.output());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations()); // items = r2c+c2r pairs
}
BENCHMARK(BM_Fftw_ForwardInverse)->RangeMultiplier(2)->Range(kMinSize, kMaxSize)->Unit(benchmark::kNanosecond);

#endif // LUMENFOLD_BENCH_HAVE_FFTW3F

} // namespace

BENCHMARK_MAIN();
