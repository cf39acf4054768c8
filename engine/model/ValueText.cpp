#include "engine/model/ValueText.h"

#include "engine/model/ParameterTable.h"
#include "engine/model/ValueFormatting.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr std::size_t kMaxNumberChars = 7;  // a list row's number beyond its entries
constexpr int kNoParameter = -1;            // has no words and no lists

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// In any case: "-6 db" is as plain as "-6 dB".
bool endsWithLabel(std::string_view text, std::string_view label)
{
    return !label.empty() && text.size() > label.size() &&
           equalsIgnoringCase(text.substr(text.size() - label.size()), label);
}

// One decimal while it fits the knobs' 37-pixel fields, none beyond; the space goes
// first when the number is long.
std::string compactDecibels(double value)
{
    if (!std::isfinite(value)) return value < 0 ? "-inf dB" : "inf dB";
    const double size = std::fabs(value);
    return formatFixed(value, size < 10.0 ? 1 : 0) + (size < 100.0 ? " dB" : "dB");
}

}  // namespace

ValueText::ValueText(int id, const ParameterInfo& row, std::vector<std::string> entries)
    : id_(id), row_(row), handedEntries_(std::move(entries))
{
}

ValueText::ValueText(const ParameterInfo& row) : ValueText(kNoParameter, row) {}

const std::vector<std::string>& ValueText::entries() const
{
    return handedEntries_.empty() ? listEntries(id_) : handedEntries_;
}

std::string ValueText::text(float plain) const
{
    if (row_.unit == ParameterUnit::Indexed) {
        return listText(plain);
    }
    if (row_.unit == ParameterUnit::Boolean) {
        return plain == 0.0f ? "Off" : "On";
    }
    if (auto word = specialWord(id_, plain)) {
        return *word;
    }
    return displayedNumberText(row_, plain);
}

std::string ValueText::listText(float plain) const
{
    const std::vector<std::string>& words = entries();
    if (!words.empty()) {
        // Stored values may lie outside the list: those show as plain numbers.
        const bool inList = std::isfinite(plain) && plain >= 0.0f && plain < static_cast<float>(words.size());
        if (inList) {
            const std::string& entry = words[static_cast<std::size_t>(plain)];
            return entry.size() <= kMaxEntryChars ? entry : std::string();
        }
    } else if (auto word = specialWord(id_, plain)) {
        return *word;
    }
    return formatTruncatedInteger(plain).substr(0, kMaxNumberChars);
}

std::string ValueText::labelledText(float plain, Style style) const
{
    if (style == Style::Compact && hasCompactForm(row_)) {
        return compactText(plain);
    }
    const std::string shown = text(plain);
    const std::string label = unitLabel(row_.unit);
    const bool bare = label.empty() || shown.empty() || shown == "Off" || shown == "On";
    return bare ? shown : shown + " " + label;
}

bool ValueText::hasCompactForm(const ParameterInfo& row)
{
    return row.unit == ParameterUnit::Decibels || row.unit == ParameterUnit::MixerFaderCurve1 ||
           row.unit == ParameterUnit::Milliseconds;
}

std::string ValueText::compactText(float plain) const
{
    switch (row_.unit) {
    case ParameterUnit::Decibels: return compactDecibels(plain);
    case ParameterUnit::Milliseconds: return formatFixed(plain, 0) + " ms";
    default: return displayedNumberText(row_, plain) + " " + unitLabel(row_.unit);
    }
}

std::optional<std::string> ValueText::specialWord(int id, float plain)
{
    switch (id) {
    case ParameterId::OscPortOffset:
    case ParameterId::ViewSmoothing:
        if (plain == 0.0f) return "Off";
        return std::nullopt;
    case ParameterId::InputGain:
    case ParameterId::OutputGain:
        if (plain == kGainFloorDb) return "-inf";
        return std::nullopt;
    case ParameterId::DryLevel:
    case ParameterId::WetLevel:
        if (plain <= 0.0f) return "-inf";  // the gain, the value cubed, is silence
        return std::nullopt;
    default: return std::nullopt;
    }
}

std::optional<float> ValueText::plainFromText(std::string_view typed, Reading reading) const
{
    return reading == Reading::Displayed ? displayedPlainFrom(typed) : storedPlainFrom(typed);
}

std::optional<float> ValueText::displayedPlainFrom(std::string_view typed) const
{
    std::string_view text = trimmed(typed);
    const std::string_view label = unitLabel(row_.unit);
    if (endsWithLabel(text, label)) {
        text = trimmed(text.substr(0, text.size() - label.size()));
    }
    if (auto listed = listedValueOf(text)) {
        return listed;
    }
    const std::optional<float> number = parseParameterNumber(text);
    if (!number) {
        return std::nullopt;
    }
    return admittedPlainValue(row_, plainFromDisplayedNumber(row_, *number));
}

// Every text the display can show reads back to its value: the entries of list and
// on/off rows, and the words other rows show instead of a number.
std::optional<float> ValueText::listedValueOf(std::string_view text) const
{
    const bool listed = row_.unit == ParameterUnit::Indexed || row_.unit == ParameterUnit::Boolean;
    const int steps = listed ? static_cast<int>(row_.maxValue - row_.minValue) : -1;
    for (int i = 0; i <= steps && i <= kMaxListedSteps; ++i) {
        const float candidate = row_.minValue + static_cast<float>(i);
        if (this->text(candidate) == text) {
            return candidate;
        }
    }
    if (text == "Off" || text == "-inf") {
        for (float special : {0.0f, kGainFloorDb}) {
            if (this->text(special) == text) {
                return special;
            }
        }
    }
    return std::nullopt;
}

// A bare number is taken as given; only a number that says its unit is converted.
std::optional<float> ValueText::storedPlainFrom(std::string_view typed) const
{
    if (const std::optional<float> stored = parseParameterNumber(typed)) {
        return stored;
    }
    std::string_view text = trimmed(typed);
    const std::string_view label = unitLabel(row_.unit);
    const bool labelled = endsWithLabel(text, label);
    if (labelled) {
        text = trimmed(text.substr(0, text.size() - label.size()));
    }
    const std::optional<float> displayed = equalsIgnoringCase(text, "-inf") ? -std::numeric_limits<float>::infinity()
                                           : labelled                       ? parseParameterNumber(text)
                                                                            : std::nullopt;
    if (!displayed) {
        return std::nullopt;
    }
    const float plain = plainFromDisplayedNumber(row_, *displayed);
    return std::isfinite(plain) ? std::optional<float>(plain) : std::nullopt;
}
