#pragma once
// Where the bins sit in frequency. Bin k of an N-point FFT at sample rate fs is centred
// on k * fs / N Hz; an FFT size N uses the bin levels 0 to N/2 ("Bin 0 Level" to
// "Bin N/2 Level"), the rest wait unused. Every door that speaks in Hz (the renderer's
// --set, the scripts' setBinLevelsHz, OSC /setBinLevelsHz, the editor's read-out) maps
// through this class, so they all agree on which bins a frequency means.
// The mapping is arithmetic only: it never allocates (scripts may call it on the audio
// thread); readout() allocates.

#include <cstddef>
#include <optional>
#include <string>

// An inclusive run of bin numbers (0 to fftSize / 2).
struct BinRange {
    int first = 0;
    int last = 0;
};

class BinFrequency {
public:
    // fftSize must be positive and even, sampleRate positive and finite (see make).
    BinFrequency(int fftSize, double sampleRate);

    // The mapping for these values, or nothing when they cannot describe a transform.
    [[nodiscard]] static std::optional<BinFrequency> make(int fftSize, double sampleRate);
    // The mapping for a stored "FFT Size" value (clamped to the eight sizes as every user does).
    [[nodiscard]] static std::optional<BinFrequency> forStoredFftSize(float fftSizeValue, double sampleRate);

    [[nodiscard]] int fftSize() const { return fftSize_; }
    [[nodiscard]] double sampleRate() const { return sampleRate_; }
    [[nodiscard]] int lastBin() const { return fftSize_ / 2; }
    // The highest bin's centre: half the sample rate.
    [[nodiscard]] double highestHz() const { return hzOfBin(lastBin()); }
    [[nodiscard]] double hzOfBin(int bin) const { return static_cast<double>(bin) * sampleRate_ / fftSize_; }

    // Why loHz..hiHz names no bins: not finite, backwards, below 0 Hz or above the highest
    // bin; nullptr when it is a range of this transform. A static text.
    [[nodiscard]] const char* rangeProblem(double loHz, double hiHz) const;
    // The one error line every door gives for such a range, written into text (never
    // allocates): "30000 Hz: a frequency is above the highest bin (half the sample rate);
    // the bins of FFT size 2048 at 44100 Hz run from 0 to 22050 Hz".
    void describeRangeProblem(double loHz, double hiHz, char* text, std::size_t size) const;
    // The bins whose centre lies in loHz..hiHz (inclusive); a range narrower than one bin
    // that holds no centre takes the bin nearest its middle. Nothing when rangeProblem.
    [[nodiscard]] std::optional<BinRange> binsIn(double loHz, double hiHz) const;
    // The bin whose centre is nearest hz; nothing when hz is outside 0..highestHz().
    [[nodiscard]] std::optional<int> nearestBin(double hz) const;

    // The editor's read-out of a bin: its centre and nearest note with the deviation in
    // cents ("21.5 Hz  F0 -23 cents"), "0 Hz" for bin 0; '.' whatever the locale.
    [[nodiscard]] std::string readout(int bin) const;

private:
    int fftSize_;
    double sampleRate_;
};
