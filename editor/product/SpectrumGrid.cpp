#include "editor/product/SpectrumGrid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace QN {
namespace {

constexpr double kLogFrequencies[] = {20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
constexpr int kMostFrequencySteps = 10;
constexpr int kMostLevelSteps = 6;

// The spectrum display's logarithmic column edges: bin j ends at ln(j * 2^(7 - i) + 2)
// (all FFT sizes in bins of the 4096-point transform); bin 0 starts at 0.
double logEdge(int bin, int sizeIndex)
{
    if (bin < 0) return 0.0;
    return std::log(static_cast<double>(bin) * std::ldexp(1.0, 7 - sizeIndex) + 2.0);
}

// A number without trailing zeros, '.' whatever the locale (integers and halves only
// reach here, so %g's own formatting is exact enough).
std::string shortNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', '.');
    return s;
}

}  // namespace

double SpectrumGrid::roundStep(double span, int most)
{
    if (!(span > 0.0) || !std::isfinite(span) || most < 1) return 1.0;
    const double rough = span / most;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (factor * power >= rough * (1.0 - 1e-9)) return factor * power;
    }
    return 10.0 * power;
}

std::string SpectrumGrid::frequencyText(double hz)
{
    if (hz >= 1000.0) return shortNumber(hz / 1000.0) + "k";
    return shortNumber(hz);
}

float SpectrumGrid::frequencyPosition(double hz, const Axes& axes)
{
    const int fftSize = 32 << std::clamp(axes.sizeIndex, 0, 7);
    const int lastBin = fftSize / 2;
    const double bin = hz * fftSize / axes.sampleRate;  // the centre of bin k is k
    if (!axes.logFrequency) return static_cast<float>((bin + 0.5) / (lastBin + 1));
    const int k = std::clamp(static_cast<int>(std::floor(bin + 0.5)), 0, lastBin);
    const double inside = std::clamp(bin - (k - 0.5), 0.0, 1.0);
    const double left = logEdge(k - 1, axes.sizeIndex), right = logEdge(k, axes.sizeIndex);
    return static_cast<float>((left + inside * (right - left)) / std::log(2051.0));
}

std::vector<SpectrumGrid::Tick> SpectrumGrid::frequencyTicks(const Axes& axes)
{
    std::vector<Tick> ticks;
    if (!(axes.sampleRate > 0.0f) || !std::isfinite(axes.sampleRate)) return ticks;
    const double nyquist = axes.sampleRate / 2.0;
    const auto add = [&](double hz) {
        std::string label = frequencyText(hz);
        if (ticks.empty()) label += " Hz";
        ticks.push_back({frequencyPosition(hz, axes), label});
    };
    if (axes.logFrequency) {
        for (double hz : kLogFrequencies) {
            if (hz < nyquist) add(hz);
        }
        return ticks;
    }
    const double step = roundStep(nyquist, kMostFrequencySteps);
    for (int i = 1; i * step < nyquist; ++i) add(i * step);
    return ticks;
}

std::vector<SpectrumGrid::Tick> SpectrumGrid::levelTicks(const Axes& axes)
{
    std::vector<Tick> ticks;
    const double low = axes.viewMin, high = axes.viewMax;
    if (!(high > low) || !std::isfinite(low) || !std::isfinite(high)) return ticks;
    const double step = roundStep(high - low, kMostLevelSteps);
    for (double level = std::ceil(low / step - 1e-9) * step; level <= high + step * 1e-9; level += step) {
        const double shown = std::fabs(level) < step * 1e-6 ? 0.0 : level;
        ticks.push_back({static_cast<float>((level - low) / (high - low)),
                         shortNumber(shown) + (axes.decibels ? " dB" : "")});
    }
    return ticks;
}

std::vector<SpectrumGrid::Tick> SpectrumGrid::binLevelTicks()
{
    return {{0.0f, "x0"}, {0.25f, "x0.25"}, {0.5f, "x0.5"}, {0.75f, "x0.75"}, {1.0f, "x1"}};
}

}  // namespace QN
