// Peak memory of lumenfold-render on a one-hour stereo file: the renderer streams, so
// its resident memory must not grow with the file's length (the goal is under 100 MB).
// The input is a quiet 16-bit FLAC tone written once; the render runs as a child process
// and its peak resident set is read from the kernel when it ends. Counters: peak_MB for
// each length (one minute and one hour: the two should be about equal).

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 48000;
constexpr int kChunk = 48000;

fs::path workFolder()
{
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "lumenfold-bench-render-XXXXXX").string();
        return fs::path(mkdtemp(pattern.data()));
    }();
    return folder;
}

// A stereo 16-bit FLAC tone of the given length, written a second at a time.
bool writeTone(const fs::path& path, int seconds)
{
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = kRate;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    std::vector<float> chunk(static_cast<std::size_t>(kChunk) * 2);
    for (int s = 0; s < seconds; ++s) {
        for (int i = 0; i < kChunk; ++i) {
            const float sample = 0.25f * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * i / kRate));
            chunk[static_cast<std::size_t>(2 * i)] = sample;
            chunk[static_cast<std::size_t>(2 * i + 1)] = sample;
        }
        sf_writef_float(file, chunk.data(), kChunk);
    }
    return sf_close(file) == 0;
}

// Runs the renderer on input; answers its peak resident set in MB, or -1.
double renderPeakMegabytes(const fs::path& input, const fs::path& output)
{
    const pid_t pid = fork();
    if (pid == 0) {
        execl(LUMENFOLD_RENDER_TOOL, LUMENFOLD_RENDER_TOOL, input.c_str(), output.c_str(), "--bits", "16", "--plugin",
              LUMENFOLD_PLUGIN_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void RenderPeakMemory(benchmark::State& state)
{
    setenv("XDG_DATA_HOME", "/nonexistent-lumenfold-bench", 1);
    const int seconds = static_cast<int>(state.range(0));
    const fs::path input = workFolder() / ("tone-" + std::to_string(seconds) + ".flac");
    const fs::path output = workFolder() / "out.flac";
    if (!fs::exists(input) && !writeTone(input, seconds)) {
        state.SkipWithError("cannot write the input file");
        return;
    }
    double peak = 0.0;
    for (auto _ : state) peak = renderPeakMegabytes(input, output);
    if (peak < 0.0) state.SkipWithError("the render failed");
    state.counters["peak_MB"] = peak;
    state.counters["seconds_of_audio"] = seconds;
    fs::remove(output);
    fs::remove(input);
}

BENCHMARK(RenderPeakMemory)->Arg(60)->Arg(3600)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
BENCHMARK_MAIN();
