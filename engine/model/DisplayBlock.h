#pragma once
// What the audio thread publishes for the spectrum display, reached through the
// instance-interface property. The editor's render thread reads it without locks, so
// every field is a single aligned word or byte.
//
// Written by: the audio thread at the end of every block (fftSizeIndex, meters, spectrum
// pointers); the parameter setter on any thread (axis flags and view values); scripts
// (indicator flags); the editor's manager as it is made and destroyed (viewers).

#include <atomic>
#include <cstdint>

struct DisplayBlock {
    std::int32_t reserved[2] = {0, 0};
    std::atomic<std::int32_t> fftSizeIndex{0};
    std::atomic<bool> frequencyAxisLog{true};
    std::atomic<bool> levelAxisLog{true};
    std::atomic<float> viewMinDb{0};
    std::atomic<float> viewMaxDb{0};
    std::atomic<float> viewMinLinear{0};
    std::atomic<float> viewMaxLinear{0};
    std::atomic<float> viewSmoothing{0};
    std::atomic<float> inputMeter[2] = {0.0f, 0.0f};
    std::atomic<float> outputMeter[2] = {0.0f, 0.0f};
    std::atomic<const float*> analysisSpectrum[2] = {nullptr, nullptr};
    // After the script and the levels; null while no script runs (the display multiplies the
    // analysis spectrum by the bin levels itself).
    std::atomic<const float*> workingSpectrum[2] = {nullptr, nullptr};
    std::atomic<std::uint8_t> indicators[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    // Open editors reading the meters and spectra; while none is, the kernels skip the work
    // that only feeds them.
    std::atomic<std::int32_t> viewers{0};
};
