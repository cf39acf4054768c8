#include "editor/product/BinReadout.h"

#include "engine/model/ParameterTable.h"
#include "platform/CLocaleScope.h"

#include <cmath>
#include <cstdio>

namespace {

const char* const kNoteNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

std::string noteText(double frequency)
{
    double note = 12.0 * std::log2(frequency / 440.0) + 69.0;
    if (!(note > 0.0)) note = 0.0;
    const int nearest = static_cast<int>(note + 0.5);
    char text[32];
    const long cents = std::lround((note - nearest) * 100.0);
    std::snprintf(text, sizeof text, "%s%d %+ld cents", kNoteNames[nearest % 12], nearest / 12 - 1, cents);
    return text;
}

}  // namespace

std::string binReadout(int parameterIndex, float sampleRate, int fftSize)
{
    if (parameterIndex == kBinLevelBase) return "0 Hz";
    if (parameterIndex <= kBinLevelBase || parameterIndex >= kParameterCount || fftSize <= 0) return {};
    platform::CLocaleScope cLocale;
    const double frequency = static_cast<double>(parameterIndex - kBinLevelBase) * sampleRate / fftSize;
    char text[64];
    std::snprintf(text, sizeof text, "%.1f Hz  %s", frequency, noteText(frequency).c_str());
    return text;
}
