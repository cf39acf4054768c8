#include "engine/model/FrequencyText.h"

#include <charconv>
#include <cmath>
#include <cstddef>

namespace {

constexpr double kConcertA = 440.0;
constexpr int kConcertANote = 69;
// Semitones of C, D, E, F, G, A, B above C.
constexpr int kLetterSemitones[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
const char* const kNoteNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view tail)
{
    if (text.size() < tail.size()) return false;
    const std::string_view end = text.substr(text.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (lower(end[i]) != tail[i]) return false;
    return true;
}

std::optional<double> finiteNumber(std::string_view text)
{
    double value = 0.0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || begin == end || !std::isfinite(value)) return std::nullopt;
    return value;
}

// A number and the factor of its unit: "2.5kHz" is 2.5 and 1000; "300" has no unit (0).
struct NumberWithUnit {
    double number = 0.0;
    double unitFactor = 0.0;
};

std::optional<NumberWithUnit> numberWithUnit(std::string_view text)
{
    // "Hz" and then "k" may end it, each with or without a blank: "2.5kHz", "2k Hz", "1k".
    double factor = 0.0;
    text = trimmed(text);
    if (endsWithIgnoringCase(text, "hz")) {
        factor = 1.0;
        text = trimmed(text.substr(0, text.size() - 2));
    }
    if (endsWithIgnoringCase(text, "k")) {
        factor = 1000.0;
        text = trimmed(text.substr(0, text.size() - 1));
    }
    const std::optional<double> number = finiteNumber(text);
    if (!number) return std::nullopt;
    return NumberWithUnit{*number, factor};
}

std::optional<int> noteNumber(std::string_view text)
{
    text = trimmed(text);
    if (text.empty()) return std::nullopt;
    const char letter = lower(text.front());
    if (letter < 'a' || letter > 'g') return std::nullopt;
    int semitone = kLetterSemitones[letter - 'a'];
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '#' || text.front() == 'b')) {
        semitone += text.front() == '#' ? 1 : -1;
        text.remove_prefix(1);
    }
    int octave = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), octave);
    if (error != std::errc() || stop != text.data() + text.size() || text.empty() || octave < -1 || octave > 20)
        return std::nullopt;
    return (octave + 1) * 12 + semitone;
}

// One end of a range: a note (marked), or a number whose unit may still come from the
// other end.
struct RangeEnd {
    double hz = 0.0;
    double unitFactor = 0.0;  // 0: a bare number
    bool isNote = false;
};

std::optional<RangeEnd> rangeEnd(std::string_view text)
{
    if (const std::optional<double> note = noteFrequency(text)) return RangeEnd{*note, 0.0, true};
    const std::optional<NumberWithUnit> number = numberWithUnit(text);
    if (!number) return std::nullopt;
    return RangeEnd{number->number, number->unitFactor, false};
}

double hzOf(const RangeEnd& end, double unitFactor)
{
    return end.isNote ? end.hz : end.hz * (unitFactor > 0.0 ? unitFactor : 1.0);
}

std::optional<FrequencyRange> rangeOf(const RangeEnd& lo, const RangeEnd& hi)
{
    // "1-2 kHz": the unit written once at the end counts for a bare first number too.
    const double loFactor = lo.unitFactor > 0.0 || lo.isNote ? lo.unitFactor : hi.unitFactor;
    const bool marked = lo.isNote || hi.isNote || lo.unitFactor > 0.0 || hi.unitFactor > 0.0;
    return FrequencyRange{hzOf(lo, loFactor), hzOf(hi, hi.unitFactor), marked};
}

}  // namespace

std::optional<double> noteFrequency(std::string_view text)
{
    const std::optional<int> note = noteNumber(text);
    if (!note) return std::nullopt;
    return kConcertA * std::exp2((*note - kConcertANote) / 12.0);
}

std::optional<double> parseFrequency(std::string_view text)
{
    const std::optional<RangeEnd> end = rangeEnd(text);
    if (!end) return std::nullopt;
    return hzOf(*end, end->unitFactor);
}

std::optional<FrequencyRange> parseFrequencyRange(std::string_view text)
{
    text = trimmed(text);
    if (const std::optional<RangeEnd> single = rangeEnd(text)) return rangeOf(*single, *single);
    // The dash that splits the range is the first one with an end on either side: "C-1"
    // is a note, "C-1-C0" a range of two.
    for (std::size_t dash = text.find('-', 1); dash != std::string_view::npos; dash = text.find('-', dash + 1)) {
        const std::optional<RangeEnd> lo = rangeEnd(text.substr(0, dash));
        const std::optional<RangeEnd> hi = lo ? rangeEnd(text.substr(dash + 1)) : std::nullopt;
        if (lo && hi) return rangeOf(*lo, *hi);
    }
    return std::nullopt;
}

NearestNote nearestNote(double hz)
{
    double note = 12.0 * std::log2(hz / kConcertA) + kConcertANote;
    if (!(note > 0.0)) note = 0.0;
    const int nearest = static_cast<int>(note + 0.5);
    return NearestNote{nearest, static_cast<int>(std::lround((note - nearest) * 100.0))};
}

std::string noteName(int midiNote)
{
    if (midiNote < 0) return {};
    return kNoteNames[midiNote % 12] + std::to_string(midiNote / 12 - 1);
}
