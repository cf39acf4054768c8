#include "tools/render/DemoSignal.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

namespace lfrender {
namespace {

constexpr std::uint32_t kNoiseSeed = 20240611u;
constexpr double kPartials[][2] = {{110.0, 0.18}, {220.0, 0.12}, {330.0, 0.08}, {1250.0, 0.05}};
constexpr double kSweepStartHz = 40.0;
constexpr double kSweepEndHz = 16000.0;
constexpr double kSweepLevel = 0.1;
constexpr double kNoiseLevel = 0.01;

// The engine of std::mt19937 is fully specified; its distributions are not, so the
// noise is scaled by hand to stay identical across standard libraries.
double noiseSample(std::mt19937& engine)
{
    return (static_cast<double>(engine()) / 4294967295.0) * 2.0 - 1.0;
}

double partialsAt(double t, double phaseOffset)
{
    double sum = 0.0;
    for (const auto& partial : kPartials)
        sum += partial[1] * std::sin(2.0 * std::numbers::pi * partial[0] * t + phaseOffset);
    return sum;
}

// Phase of an exponential sweep from kSweepStartHz to kSweepEndHz over the demo length.
double sweepPhase(double t)
{
    const double rate = std::log(kSweepEndHz / kSweepStartHz) / kDemoSeconds;
    return 2.0 * std::numbers::pi * kSweepStartHz * (std::exp(rate * t) - 1.0) / rate;
}

}  // namespace

std::vector<std::vector<float>> makeDemoSignal(float sampleRate)
{
    const auto frames = static_cast<std::size_t>(std::lround(kDemoSeconds * sampleRate));
    std::vector<std::vector<float>> channels(2, std::vector<float>(frames));
    std::mt19937 engine(kNoiseSeed);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double sweep = kSweepLevel * std::sin(sweepPhase(t));
        // The right channel's partials start a quarter turn later, so the two differ.
        channels[0][i] = static_cast<float>(partialsAt(t, 0.0) + sweep + kNoiseLevel * noiseSample(engine));
        channels[1][i] = static_cast<float>(partialsAt(t, std::numbers::pi / 2) + sweep +
                                            kNoiseLevel * noiseSample(engine));
    }
    return channels;
}

}  // namespace lfrender
