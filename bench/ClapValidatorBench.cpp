// The two timings a CLAP validator asks of a plug-in file, measured here rather than in the
// tests: scanning (open the library, read every descriptor, close it), which should take
// well under 100 ms, and a block of subnormal input against a block of noise, which should
// cost about the same (denormals are flushed).

#include "tools/host/ClapHost.h"

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kBlock = 512;

// A scan as a host's scanner makes it: in a fresh process, so that the library is loaded
// cold (in this process it stays loaded after the first scan). The fork is counted too.
void BM_ClapScan(benchmark::State& state)
{
    for (auto _ : state) {
        const pid_t child = ::fork();
        if (child == 0) {
            std::string error;
            ::_exit(lfhost::ClapPluginHost::scan(LUMENFOLD_CLAP_PATH, &error).size() == 1 ? 0 : 1);
        }
        int status = -1;
        if (child < 0 || ::waitpid(child, &status, 0) != child || status != 0) {
            state.SkipWithError("the scan failed");
            break;
        }
    }
}
BENCHMARK(BM_ClapScan)->Unit(benchmark::kMillisecond)->UseRealTime();

// range(0): 0 noise within +-1, 1 subnormal values.
void BM_ClapBlock(benchmark::State& state)
{
    std::string error;
    auto host = lfhost::ClapPluginHost::load(LUMENFOLD_CLAP_PATH, &error);
    if (!host || !host->activate(48000.0, kBlock)) {
        state.SkipWithError("the CLAP plug-in did not load");
        return;
    }
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    const float scale = state.range(0) == 0 ? 1.0f : std::numeric_limits<float>::min();
    std::vector<float> in[2], out[2];
    for (int c = 0; c < 2; ++c) {
        in[c].resize(kBlock);
        out[c].resize(kBlock);
        for (float& sample : in[c]) sample = scale * uniform(generator);
    }
    float* inputs[] = {in[0].data(), in[1].data()};
    float* outputs[] = {out[0].data(), out[1].data()};
    for (auto _ : state) {
        host->process(inputs, outputs, kBlock);
        benchmark::DoNotOptimize(out[0].data());
    }
    state.SetLabel(state.range(0) == 0 ? "noise" : "subnormal");
}
BENCHMARK(BM_ClapBlock)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
