#include "engine/model/BinFrequency.h"

#include "engine/model/FrequencyText.h"
#include "engine/model/ParameterTable.h"
#include "platform/CLocaleScope.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A centre computed as k * fs / N may miss a typed edge by a rounding error ("440-440 Hz"
// at 44000 Hz and size 2000 is bin 20 exactly): edges are widened by this share of a bin.
constexpr double kEdgeTolerance = 1e-9;

}  // namespace

BinFrequency::BinFrequency(int fftSize, double sampleRate) : fftSize_(fftSize), sampleRate_(sampleRate) {}

std::optional<BinFrequency> BinFrequency::make(int fftSize, double sampleRate)
{
    if (fftSize < 2 || fftSize % 2 != 0 || !std::isfinite(sampleRate) || !(sampleRate > 0.0)) return std::nullopt;
    return BinFrequency(fftSize, sampleRate);
}

std::optional<BinFrequency> BinFrequency::forStoredFftSize(float fftSizeValue, double sampleRate)
{
    return make(fftSizeFromIndex(fftSizeIndexFromValue(fftSizeValue)), sampleRate);
}

const char* BinFrequency::rangeProblem(double loHz, double hiHz) const
{
    if (!std::isfinite(loHz) || !std::isfinite(hiHz)) return "a frequency is not a finite number";
    if (loHz > hiHz) return "the range runs backwards: give the lower frequency first";
    if (loHz < 0.0) return "a frequency is below 0 Hz";
    const double bin = sampleRate_ / fftSize_;
    if (hiHz > highestHz() + kEdgeTolerance * bin) return "a frequency is above the highest bin (half the sample rate)";
    return nullptr;
}

void BinFrequency::describeRangeProblem(double loHz, double hiHz, char* text, std::size_t size) const
{
    const char* problem = rangeProblem(loHz, hiHz);
    if (problem == nullptr) problem = "no problem";
    platform::CLocaleScope cLocale;
    const int used = loHz == hiHz ? std::snprintf(text, size, "%g Hz: ", loHz)
                                  : std::snprintf(text, size, "%g to %g Hz: ", loHz, hiHz);
    const std::size_t offset = used > 0 ? std::min(static_cast<std::size_t>(used), size) : 0;
    std::snprintf(text + offset, size - offset, "%s; the bins of FFT size %d at %g Hz run from 0 to %g Hz", problem,
                  fftSize_, sampleRate_, highestHz());
}

std::optional<BinRange> BinFrequency::binsIn(double loHz, double hiHz) const
{
    if (rangeProblem(loHz, hiHz) != nullptr) return std::nullopt;
    const double binsPerHz = fftSize_ / sampleRate_;
    const int first = static_cast<int>(std::ceil(loHz * binsPerHz - kEdgeTolerance));
    const int last = std::min(static_cast<int>(std::floor(hiHz * binsPerHz + kEdgeTolerance)), lastBin());
    if (first <= last) return BinRange{first, last};
    const int nearest = *nearestBin(0.5 * (loHz + hiHz));
    return BinRange{nearest, nearest};
}

std::optional<int> BinFrequency::nearestBin(double hz) const
{
    if (rangeProblem(hz, hz) != nullptr) return std::nullopt;
    const double bin = std::floor(hz * fftSize_ / sampleRate_ + 0.5);
    return std::min(static_cast<int>(bin), lastBin());
}

std::string BinFrequency::readout(int bin) const
{
    if (bin == 0) return "0 Hz";
    platform::CLocaleScope cLocale;
    const double hz = hzOfBin(bin);
    const NearestNote note = nearestNote(hz);
    char text[64];
    std::snprintf(text, sizeof text, "%.1f Hz  %s %+d cents", hz, noteName(note.midiNote).c_str(), note.cents);
    return text;
}
