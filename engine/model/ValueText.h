#pragma once
// The texts of one parameter's values and the reading of typed texts back to values:
// what hosts show (getParameterDisplay and its label, OSC /getText), what the editor's
// knobs and fields show, and what people type into either or give the renderer's --set.
//
// It works from a row as the instance uses it (its own "Script Index" maximum) and the
// entries of a list row. The words of the fixed lists ("FFT Size", "Overlap", ...) come
// from the table (listEntries); entries known only at run time, the instance's script
// names, are handed in. Texts allocate: never on the audio thread.

#include "engine/model/ParameterInfo.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ValueText {
public:
    // How wide a labelled text may be.
    enum class Style {
        // As hosts show it: the display text, then the label ("-18.06 dB", "Off").
        Host,
        // As the editor's 37-pixel knob fields show it: gains with one decimal or none
        // and the space dropped from long ones ("-6.5 dB", "-160dB"), times in whole ms,
        // and numbers where the host shows a word ("-80 dB", "0 ms"). Rows with no such
        // form (hasCompactForm) show the host's text.
        Compact,
    };

    // How a typed number is read.
    enum class Reading {
        // What a person types into a host or the editor: any text the display shows, with
        // or without the label; numbers in the unit the row shows (dB for the mix levels);
        // list entries, "On", "Off" and "-inf". The value is clamped into the row's range.
        Displayed,
        // The renderer's --set: a bare number is the stored value (the mix levels' fader
        // position); a number with the row's label, or "-inf", is in the unit the row
        // shows and converted. No words, and not clamped: the caller clamps and warns.
        StoredNumber,
    };

    // An entry longer than a host's display field shows as nothing.
    static constexpr std::size_t kMaxEntryChars = 23;
    // A typed text is compared with the texts of at most this many steps of a list row.
    static constexpr int kMaxListedSteps = 4096;

    // id must be valid. entries, when any, replace the table's words of a list row (the
    // instance hands in the list it reports to hosts); a list row with neither shows its
    // numbers.
    ValueText(int id, const ParameterInfo& row, std::vector<std::string> entries = {});
    // A row alone, not known as a parameter: the texts of its unit, without a parameter's
    // words or lists. Enough for the Compact form, which shows numbers only.
    explicit ValueText(const ParameterInfo& row);

    // The display text without label: the word of a list row, a word such as "Off", or
    // the number in the unit the row shows (displayedNumber: the mix levels in dB).
    [[nodiscard]] std::string text(float plain) const;
    // The text with its unit label as the style shows it; words take no label.
    [[nodiscard]] std::string labelledText(float plain, Style style = Style::Host) const;
    // nullopt when the text is none the reading accepts.
    [[nodiscard]] std::optional<float> plainFromText(std::string_view typed, Reading reading = Reading::Displayed) const;

    // Rows whose Compact text differs from the host's: gains in dB, the mix levels and times.
    [[nodiscard]] static bool hasCompactForm(const ParameterInfo& row);
    // The word a value shows instead of its number ("Off" at a zero port offset or
    // smoothing, "-inf" at the gain floor and at a mix level of 0); nullopt when the
    // number is shown.
    [[nodiscard]] static std::optional<std::string> specialWord(int id, float plain);

private:
    [[nodiscard]] const std::vector<std::string>& entries() const;
    [[nodiscard]] std::string listText(float plain) const;
    [[nodiscard]] std::string compactText(float plain) const;
    [[nodiscard]] std::optional<float> listedValueOf(std::string_view text) const;
    [[nodiscard]] std::optional<float> displayedPlainFrom(std::string_view text) const;
    [[nodiscard]] std::optional<float> storedPlainFrom(std::string_view text) const;

    int id_;
    ParameterInfo row_;
    std::vector<std::string> handedEntries_;
};
