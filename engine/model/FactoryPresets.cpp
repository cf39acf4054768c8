#include "engine/model/FactoryPresets.h"

#include "engine/model/BinFrequency.h"
#include "engine/model/FactoryPreset.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace FactoryPresets {
namespace {

// Where a bin level sits: its number and, at the preset's FFT size and the reference
// rate, its centre frequency.
struct BinPlace {
    int bin;
    double hz;
};

using LevelCurve = float (*)(const BinPlace&);

struct Recipe {
    const char* name;
    const char* description;
    int fftSizeIndex;  // 32 << index points
    int overlapIndex;  // 2 << index frames per frame length
    float dryFader;    // fader positions: the gain is the position cubed
    float wetFader;
    float inputGainDb;
    float outputGainDb;
    const char* script;  // nullptr: no spectral script
    std::array<float, 4> scripted;
    LevelCurve level;  // nullptr: every bin open
};

// A fader position from its gain in dB (the gain is the position cubed).
float faderAt(double db) { return static_cast<float>(db <= -200.0 ? 0.0 : std::pow(10.0, db / 60.0)); }

double clamp01(double x) { return std::clamp(x, 0.0, 1.0); }

// 0 at and below `from`, 1 at and above `to`, straight in between (log frequency when
// both are frequencies, which is how the ear spaces them).
double logRise(double hz, double from, double to)
{
    if (hz <= from) return 0.0;
    if (hz >= to) return 1.0;
    return std::log(hz / from) / std::log(to / from);
}

float gainFromDb(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

// A gain in dB, never above unity: the bin levels only attenuate, so presets that lift
// a band lower the rest and raise "Output Gain" by as much.
float shelf(double riseAmount, double lowDb, double highDb)
{
    return gainFromDb(lowDb + (highDb - lowDb) * clamp01(riseAmount));
}

float telephone(const BinPlace& p) { return p.hz >= 300.0 && p.hz <= 3400.0 ? 1.0f : 0.0f; }

float rumbleCut(const BinPlace& p) { return static_cast<float>(logRise(p.hz, 30.0, 80.0)); }

float deHiss(const BinPlace& p) { return shelf(logRise(p.hz, 5000.0, 10000.0), 0.0, -10.0); }

float airBoost(const BinPlace& p) { return shelf(logRise(p.hz, 6000.0, 12000.0), -6.0, 0.0); }

float vocalPresence(const BinPlace& p)
{
    // A bell 6 dB above the rest, widest between 2 and 5 kHz.
    const double up = logRise(p.hz, 800.0, 2000.0);
    const double down = 1.0 - logRise(p.hz, 5000.0, 10000.0);
    return shelf(std::min(up, down), -6.0, 0.0);
}

float oddBins(const BinPlace& p) { return p.bin % 2 == 1 ? 1.0f : 0.0f; }

float evenBins(const BinPlace& p) { return p.bin % 2 == 0 ? 1.0f : 0.0f; }

float sparseComb(const BinPlace& p) { return p.bin % 8 == 0 ? 1.0f : 0.0f; }

// -12 dB at 20 Hz to 0 dB at 20 kHz, straight in log frequency; Tilt Dark the mirror.
float tiltBright(const BinPlace& p) { return shelf(logRise(p.hz, 20.0, 20000.0), -12.0, 0.0); }

float tiltDark(const BinPlace& p) { return shelf(logRise(p.hz, 20.0, 20000.0), 0.0, -12.0); }

// Mains hum: the bins nearest 50 and 60 Hz and their harmonics up to 300 Hz close.
float humNotch(const BinPlace& p)
{
    const double binWidth = p.bin > 0 ? p.hz / p.bin : 0.0;
    for (const double fundamental : {50.0, 60.0}) {
        for (double hz = fundamental; hz <= 300.0; hz += fundamental) {
            if (binWidth > 0.0 && std::abs(p.hz - hz) <= 0.5 * binWidth) return 0.0f;
        }
    }
    return 1.0f;
}

constexpr std::array<float, 4> kNoScripted{0.0f, 0.0f, 0.0f, 0.0f};

const std::array<Recipe, 17> kRecipes = {{
    {"Telephone Band", "Only 300 Hz to 3.4 kHz passes: a narrow, boxy phone line.", 6, 1, 0.0f, 1.0f, 0.0f, 3.0f,
     nullptr, kNoScripted, telephone},
    {"Rumble Cut", "Silences everything below 30 Hz and fades in up to 80 Hz; the rest is untouched.", 7, 1, 0.0f,
     1.0f, 0.0f, 0.0f, nullptr, kNoScripted, rumbleCut},
    {"Hum Notch", "Closes the bins at 50 and 60 Hz and their harmonics up to 300 Hz (mains hum).", 7, 1, 0.0f,
     1.0f, 0.0f, 0.0f, nullptr, kNoScripted, humNotch},
    {"De-Hiss", "Lowers everything above 5 kHz, by 10 dB from 10 kHz up: tape and preamp hiss recede.", 6, 1,
     0.0f, 1.0f, 0.0f, 0.0f, nullptr, kNoScripted, deHiss},
    {"Air Boost", "Lifts 6 kHz and up by 6 dB over the rest (bins lower the rest, Output Gain makes it up).", 6,
     1, 0.0f, 1.0f, 0.0f, 6.0f, nullptr, kNoScripted, airBoost},
    {"Vocal Presence", "A 6 dB lift around 2 to 5 kHz, where a voice's intelligibility lives.", 6, 1, 0.0f, 1.0f,
     0.0f, 6.0f, nullptr, kNoScripted, vocalPresence},
    {"Tilt Bright", "Tilts the whole spectrum up by 12 dB from 20 Hz to 20 kHz.", 6, 1, 0.0f, 1.0f, 0.0f, 6.0f,
     nullptr, kNoScripted, tiltBright},
    {"Tilt Dark", "Tilts the whole spectrum down by 12 dB from 20 Hz to 20 kHz.", 6, 1, 0.0f, 1.0f, 0.0f, 6.0f,
     nullptr, kNoScripted, tiltDark},
    {"Odd Bins", "Keeps the odd-numbered bins only: a hollow, reedy comb through everything.", 7, 1, 0.0f, 1.0f,
     0.0f, 3.0f, nullptr, kNoScripted, oddBins},
    {"Even Bins", "Keeps the even-numbered bins only: the odd bins' comb, one bin over.", 7, 1, 0.0f, 1.0f, 0.0f,
     3.0f, nullptr, kNoScripted, evenBins},
    {"Sparse Comb", "One bin in eight passes at 1024 points: a metallic, pitched ring on any source.", 5, 1, 0.0f,
     1.0f, 0.0f, 9.0f, nullptr, kNoScripted, sparseComb},
    {"Band-Pass Sweep", "The Band Pass script with its centre on MIDI CC 20 (Scripted 2): sweep it like a wah.",
     5, 1, 0.0f, 1.0f, 0.0f, 6.0f, "Band Pass", {0.0f, 0.1f, 0.3f, 0.0f}, nullptr},
    {"Shift Up", "The Shift script moves every bin up by 8 (about 190 Hz at 2048 points): inharmonic and bright.",
     6, 1, 0.0f, 1.0f, 0.0f, 0.0f, "Shift", {8.0f, 0.0f, 0.0f, 0.0f}, nullptr},
    {"Shift Down", "The Shift script moves every bin down by 8 (about 190 Hz at 2048 points): hollow and dark.",
     6, 1, 0.0f, 1.0f, 0.0f, 0.0f, "Shift", {-8.0f, 0.0f, 0.0f, 0.0f}, nullptr},
    {"Shimmer Blend", "Dry and a copy shifted up by 16 bins at -6 dB each: a bell-like halo over the source.", 6,
     1, faderAt(-6.0), faderAt(-6.0), 0.0f, 0.0f, "Shift", {16.0f, 0.0f, 0.0f, 0.0f}, nullptr},
    {"Spectral Gate", "The Gate script silences quiet bins; raise Scripted 2 (MIDI CC 20) to gate harder.", 6, 1,
     0.0f, 1.0f, 0.0f, 0.0f, "Gate", {0.0f, 0.02f, 0.0f, 0.0f}, nullptr},
    {"Mirror World", "The Reverse script turns the spectrum upside down: lows become highs.", 5, 1, 0.0f, 1.0f,
     0.0f, 0.0f, "Reverse", kNoScripted, nullptr},
}};

const FactoryPreset& defaults()
{
    static const FactoryPreset preset = [] {
        FactoryPreset made;
        made.fillDefaults();
        return made;
    }();
    return preset;
}

const char* const kDefaultsDescription = "The values a new instance starts with: every bin open, wet only, no script.";

const Recipe& recipe(int index) { return kRecipes[static_cast<std::size_t>(index - 1)]; }

void setName(const char* text, ProgramValues& out)
{
    out.name.fill('\0');
    std::strncpy(out.name.data(), text, ProgramValues::kNameSize - 1);
}

void fillLevels(const Recipe& preset, ProgramValues& out)
{
    const BinFrequency frequencies(fftSizeFromIndex(preset.fftSizeIndex), kReferenceRate);
    for (int bin = 0; bin < kBinCount; ++bin) {
        // Bins past the size's last one wait unused; their curve goes on above Nyquist.
        const BinPlace place{bin, frequencies.hzOfBin(bin)};
        out.values[static_cast<std::size_t>(kBinLevelBase + bin)] = preset.level ? preset.level(place) : 1.0f;
    }
}

}  // namespace

int count() { return static_cast<int>(kRecipes.size()) + 1; }

bool isValidIndex(int index) { return index >= 0 && index < count(); }

const char* name(int index) { return index == 0 ? defaults().name : recipe(index).name; }

const char* description(int index) { return index == 0 ? kDefaultsDescription : recipe(index).description; }

const char* scriptName(int index) { return index == 0 ? nullptr : recipe(index).script; }

void fill(int index, float scriptIndex, ProgramValues& out)
{
    out.values = defaults().values;
    setName(name(index), out);
    if (index == 0) {
        return;
    }
    const Recipe& preset = recipe(index);
    auto set = [&out](int id, float value) { out.values[static_cast<std::size_t>(id)] = value; };
    set(ParameterId::FftSize, static_cast<float>(preset.fftSizeIndex));
    set(ParameterId::Overlap, static_cast<float>(preset.overlapIndex));
    set(ParameterId::DryLevel, preset.dryFader);
    set(ParameterId::WetLevel, preset.wetFader);
    set(ParameterId::InputGain, preset.inputGainDb);
    set(ParameterId::OutputGain, preset.outputGainDb);
    set(ParameterId::ScriptIndex, preset.script ? scriptIndex : 0.0f);
    for (int k = 0; k < 4; ++k) {
        set(ParameterId::Scripted1 + k, preset.scripted[static_cast<std::size_t>(k)]);
    }
    fillLevels(preset, out);
}

int findByName(std::string_view wanted)
{
    for (int index = 0; index < count(); ++index) {
        if (wanted == name(index)) return index;
    }
    return -1;
}

}  // namespace FactoryPresets
