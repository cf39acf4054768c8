#pragma once

#include <string>
#include <vector>

namespace QN {

// Where the spectrum display's grid lines and labels go: frequencies on its linear or
// logarithmic axis, levels across the view range (decibels or linear) in the spectra's
// half, and the bin levels' linear 0 to 1 in the sliders' half. Positions are fractions
// (0 to 1) of the axis they lie on; no drawing here.
class SpectrumGrid {
public:
    struct Axes {
        int sizeIndex = 0;  // FFT size 32 << sizeIndex
        bool logFrequency = true;
        bool decibels = true;
        float viewMin = 0.0f, viewMax = 1.0f;
        float sampleRate = 44100.0f;
        bool operator==(const Axes&) const = default;
    };
    struct Tick {
        float position;
        std::string label;
    };

    // 20, 50, 100 ... 20k Hz on the logarithmic axis; evenly spaced round steps on the
    // linear one. Only frequencies below half the sample rate. The first label says "Hz".
    [[nodiscard]] static std::vector<Tick> frequencyTicks(const Axes& axes);
    // Round steps across the view range; "dB" on every decibel label.
    [[nodiscard]] static std::vector<Tick> levelTicks(const Axes& axes);
    // The bin levels' factors 0, 0.25, 0.5, 0.75 and 1.
    [[nodiscard]] static std::vector<Tick> binLevelTicks();
    // Where a frequency lies across the display (0 left, 1 right): in the middle of its
    // bin's column, and in proportion inside the column.
    [[nodiscard]] static float frequencyPosition(double hz, const Axes& axes);
    // 1, 2, 2.5 or 5 times a power of ten: the smallest that cuts span into at most
    // `most` steps.
    [[nodiscard]] static double roundStep(double span, int most);
    // "50", "1k", "2.5k", "20k".
    [[nodiscard]] static std::string frequencyText(double hz);
};

}  // namespace QN
