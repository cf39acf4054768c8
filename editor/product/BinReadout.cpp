#include "editor/product/BinReadout.h"

#include "engine/model/BinFrequency.h"
#include "engine/model/ParameterTable.h"

std::string binReadout(int parameterIndex, float sampleRate, int fftSize)
{
    if (parameterIndex < kBinLevelBase || parameterIndex >= kParameterCount) return {};
    const std::optional<BinFrequency> bins = BinFrequency::make(fftSize, sampleRate);
    if (!bins) return parameterIndex == kBinLevelBase ? "0 Hz" : std::string();
    return bins->readout(parameterIndex - kBinLevelBase);
}
