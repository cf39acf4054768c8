#pragma once
// Frequencies as people write them: "440", "300 Hz", "2.5kHz", "1k", and note names with
// A4 = 440 Hz ("A4", "C#3", "Bb2", "C-1"), alone or as a range "1k-2k Hz", "300-3400Hz",
// "A3-A4". Read in the "C" convention whatever the locale; letters and units without
// regard to case. A range's unit written once at its end counts for both ends
// ("1-2 kHz" is 1000 to 2000 Hz). Pure functions; noteName allocates.

#include <optional>
#include <string>
#include <string_view>

struct FrequencyRange {
    double loHz = 0.0;
    double hiHz = 0.0;
    // Written with a unit or as notes, not as bare numbers: "1k", "300 Hz", "A4" but not
    // "300" (the renderer tells frequencies from parameter names by this).
    bool marked = false;
};

// The frequency of a note name ("A4" 440, "C-1" 8.18); nothing for any other text.
[[nodiscard]] std::optional<double> noteFrequency(std::string_view text);

// One frequency: a note name or a number with an optional unit ("Hz", "kHz", "k").
[[nodiscard]] std::optional<double> parseFrequency(std::string_view text);

// One frequency or a range "LO-HI" of two; a single one gives loHz == hiHz.
[[nodiscard]] std::optional<FrequencyRange> parseFrequencyRange(std::string_view text);

// The note nearest hz ("A4", "F0"; MIDI notes from 0) and its deviation in cents (-50 to +50).
struct NearestNote {
    int midiNote = 0;
    int cents = 0;
};
[[nodiscard]] NearestNote nearestNote(double hz);
[[nodiscard]] std::string noteName(int midiNote);
