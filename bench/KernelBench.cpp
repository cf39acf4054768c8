// Throughput of the whole plug-in as a host drives it: stereo 48 kHz noise in host blocks
// of 512 frames, for every FFT size, with and without a spectral script. The counter
// "realtime" is seconds of audio processed per second of CPU (the real-time factor).

#include "tools/host/PluginInstance.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kBlock = 512;
constexpr double kSampleRate = 48000.0;

// dataHome: where the instance looks for user scripts; by default nowhere, which keeps the
// user's own scripts out of the figures.
std::unique_ptr<lfhost::PluginInstance> loadForBenchmark(const char* dataHome = "/nonexistent-lumenfold-bench")
{
    setenv("XDG_DATA_HOME", dataHome, 1);
    std::string error;
    lfhost::HostOptions options;
    options.sampleRate = static_cast<float>(kSampleRate);
    options.blockSize = kBlock;
    return lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error, options);
}

void runStereo(benchmark::State& state, lfhost::PluginInstance& plugin)
{
    std::mt19937 generator(42);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
    for (int i = 0; i < kBlock; ++i) {
        left[static_cast<std::size_t>(i)] = uniform(generator);
        right[static_cast<std::size_t>(i)] = uniform(generator);
    }
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    plugin.resume();
    for (auto _ : state) {
        plugin.processReplacing(inputs, outputs, kBlock);
        benchmark::DoNotOptimize(outLeft.data());
    }
    const double seconds = static_cast<double>(state.iterations()) * kBlock / kSampleRate;
    state.counters["realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}

// range(0): FFT size index 0..7.
void KernelStereo(benchmark::State& state)
{
    auto plugin = loadForBenchmark();
    if (!plugin) {
        state.SkipWithError("the plug-in did not load");
        return;
    }
    plugin->setParameter(3, static_cast<float>(state.range(0)) / 7.0f);
    state.SetLabel("N=" + std::to_string(32 << state.range(0)));
    runStereo(state, *plugin);
}

// range(0): FFT size index; range(1): "Overlap" index (0 "2x", 1 "4x", 2 "8x"). The three
// overlaps of a size run side by side, so a busy machine slows them alike.
void OverlapStereo(benchmark::State& state)
{
    auto plugin = loadForBenchmark();
    if (!plugin) {
        state.SkipWithError("the plug-in did not load");
        return;
    }
    plugin->setParameter(3, static_cast<float>(state.range(0)) / 7.0f);
    plugin->setParameter(19, static_cast<float>(state.range(1)) / 2.0f);
    state.SetLabel("N=" + std::to_string(32 << state.range(0)) + " " + std::to_string(2 << state.range(1)) + "x");
    runStereo(state, *plugin);
}

// range(0): FFT size index; range(1): script index (1 "Shift", 5 "Band Pass").
void SpectralScriptStereo(benchmark::State& state)
{
    auto plugin = loadForBenchmark();
    if (!plugin) {
        state.SkipWithError("the plug-in did not load");
        return;
    }
    plugin->setParameter(3, static_cast<float>(state.range(0)) / 7.0f);
    plugin->setParameter(13, static_cast<float>(state.range(1)) / 6.0f);
    plugin->setParameter(15, 0.55f);  // "Scripted 1" = 10: shift by ten bins
    plugin->setParameter(16, 0.5f);   // cutoff in the middle
    plugin->setParameter(17, 0.3f);   // band-pass depth
    state.SetLabel("N=" + std::to_string(32 << state.range(0)) + " " + plugin->parameterDisplay(13));
    runStereo(state, *plugin);
}

// A user script, the example "Tilt" (one multiplyBins call per frame), installed in a
// temporary data folder; it is listed after the six built-in scripts.
void UserScriptStereo(benchmark::State& state)
{
    char folder[] = "/tmp/lumenfold-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::filesystem::path scripts = std::filesystem::path(folder) / "Corvanne/Lumenfold/Scripts";
    std::error_code error;
    std::filesystem::create_directories(scripts, error);
    std::filesystem::copy_file(LUMENFOLD_SOURCE_DIR "/examples/scripts/cc-spectral-tilt.lua",
                               scripts / "cc-spectral-tilt.lua", error);
    if (error) {
        state.SkipWithError("could not install the example script");
        return;
    }
    auto plugin = loadForBenchmark(folder);
    std::filesystem::remove_all(folder, error);
    if (!plugin) {
        state.SkipWithError("the plug-in did not load");
        return;
    }
    plugin->setParameter(3, static_cast<float>(state.range(0)) / 7.0f);
    plugin->setParameter(13, 1.0f);   // the last script: "Tilt"
    plugin->setParameter(16, 0.5f);   // "Scripted 2": half the tilt
    state.SetLabel("N=" + std::to_string(32 << state.range(0)) + " " + plugin->parameterDisplay(13));
    runStereo(state, *plugin);
}

// Building an instance as a host does: entry point, program, kernels, the eight
// transforms and windows, the Lua state with the built-in script, the idle OSC helper;
// then effClose.
void InstanceBuild(benchmark::State& state)
{
    for (auto _ : state) {
        auto plugin = loadForBenchmark();
        if (!plugin) {
            state.SkipWithError("the plug-in did not load");
            return;
        }
        benchmark::DoNotOptimize(plugin->effect());
    }
}

}  // namespace

BENCHMARK(InstanceBuild)->Unit(benchmark::kMillisecond);
BENCHMARK(KernelStereo)->DenseRange(0, 7)->Unit(benchmark::kMicrosecond);
BENCHMARK(OverlapStereo)->ArgsProduct({{3, 5, 7}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(SpectralScriptStereo)
    ->Args({3, 1})
    ->Args({5, 1})
    ->Args({7, 1})
    ->Args({3, 5})
    ->Args({5, 5})
    ->Args({7, 5})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(UserScriptStereo)->Arg(3)->Arg(5)->Arg(7)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
