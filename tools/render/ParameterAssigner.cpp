#include "tools/render/ParameterAssigner.h"

#include "engine/model/BinFrequency.h"
#include "engine/model/FrequencyText.h"
#include "tools/host/PluginInstance.h"
#include "tools/render/NameSuggestions.h"
#include "tools/render/ParameterCatalog.h"
#include "tools/render/RenderError.h"
#include "tools/render/TextMatching.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace lfrender {
namespace {

// Probing steps for discoverIndexedMaximum: finds maxima up to this many indices.
constexpr int kMaximumProbeSteps = 8192;
// Display texts named in one error line at most.
constexpr std::size_t kMaxListedTexts = 24;
// The rows a frequency name maps through.
constexpr const char* kFftSizeName = "FFT Size";

std::string binLevelName(int bin) { return "Bin " + std::to_string(bin) + " Level"; }

std::string formatPlain(float value)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

std::string rangeText(const ParameterRange& range)
{
    return formatPlain(range.minValue) + " to " + formatPlain(range.maxValue);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int> parseWholeNumber(std::string_view text)
{
    int value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || stop != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

// The value with the unit taken off its end ("-6 dB" -> "-6"), or nothing when it does
// not end with the unit.
std::optional<std::string> withoutUnit(std::string_view value, const std::string& unit)
{
    if (unit.empty() || value.size() <= unit.size()) return std::nullopt;
    const std::string_view tail = value.substr(value.size() - unit.size());
    if (!equalsIgnoringCase(tail, unit)) return std::nullopt;
    return std::string(trimmed(value.substr(0, value.size() - unit.size())));
}

}  // namespace

std::optional<float> parsePlainNumber(const std::string& text)
{
    float value = 0.0f;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;  // from_chars refuses a leading plus
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || begin == end || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The reading of catalogues with no reading of their own.
std::optional<float> ParameterCatalog::plainFromValueText(int id, const std::string& text) const
{
    if (const std::optional<float> plain = parsePlainNumber(text)) return plain;
    const std::optional<std::string> number = withoutUnit(trimmed(text), unit(id));
    return number ? parsePlainNumber(*number) : std::nullopt;
}

std::optional<NameRange> findNameRange(const std::string& name)
{
    // A range is one word "digits-digits", so "Bin 47-512 Level" has one and "A-B" not.
    std::size_t start = 0;
    while (start < name.size()) {
        const std::size_t end = std::min(name.find(' ', start), name.size());
        const std::string_view word(name.data() + start, end - start);
        const std::size_t dash = word.find('-');
        if (dash != std::string_view::npos && dash > 0 && isDigit(word.front()) && isDigit(word.back())) {
            const auto first = parseWholeNumber(word.substr(0, dash));
            const auto last = parseWholeNumber(word.substr(dash + 1));
            if (first && last) return NameRange{name.substr(0, start), *first, *last, name.substr(end)};
        }
        start = end + 1;
    }
    return std::nullopt;
}

ParameterAssigner::ParameterAssigner(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog)
    : plugin_(plugin), catalog_(catalog)
{
}

void ParameterAssigner::assign(const std::string& name, const std::string& value)
{
    // People type "Input Gain = -6 dB": the blanks around the name and the value are not theirs.
    const std::vector<Target> targets = resolveTargets(std::string(trimmed(name)));
    const std::string text(trimmed(value));
    // The first target checks the value, so a refused value changes nothing.
    for (std::size_t i = 0; i < targets.size(); ++i) assignOne(targets[i], text, i == 0);
    warnIfBinsMoved(targets);
}

// Assignments run in the order given, so bins mapped before "FFT Size" changes keep the
// old size's frequencies; say so rather than render something else than was asked.
void ParameterAssigner::warnIfBinsMoved(const std::vector<Target>& targets)
{
    if (!mappedFftSize_ || targets.empty() || targets.front().id != catalog_.findByName(kFftSizeName)) return;
    const std::optional<float> size = parsePlainNumber(plugin_.parameterDisplay(targets.front().id));
    if (size && static_cast<int>(*size) != *mappedFftSize_)
        std::fprintf(stderr,
                     "lumenfold-render: warning: \"%s\" was mapped to bins at FFT size %d; give --set \"FFT Size=...\" "
                     "before it\n",
                     mappedName_.c_str(), *mappedFftSize_);
}

const std::vector<std::string>& ParameterAssigner::parameterNames()
{
    if (names_.empty())
        for (int id = 0; id < plugin_.numParams(); ++id) names_.push_back(plugin_.parameterName(id));
    return names_;
}

// What to say about a name no parameter has: the numbers its family takes ("Bin 5000
// Level"), else the closest names.
RenderError ParameterAssigner::unknownName(const std::string& name, const std::string& context)
{
    std::string message = "unknown parameter \"" + name + "\"" + context;
    if (context.empty() && parseFrequencyRange(name))
        return RenderError::commandLine(message + ": frequencies need a unit or notes (\"" + name + " Hz\", \"A4\")");
    const std::vector<std::string>& names = parameterNames();
    if (const std::optional<NumberedFamily> family = numberedFamilyOf(name, names))
        return RenderError::commandLine(message + ": \"" + family->pattern + "\" takes N from " +
                                        std::to_string(family->first) + " to " + std::to_string(family->last));
    const std::string hint = didYouMean(closestNames(name, names));
    return RenderError::commandLine(hint.empty() ? message : message + ": " + hint);
}

std::vector<ParameterAssigner::Target> ParameterAssigner::resolveTargets(const std::string& name)
{
    const int id = catalog_.findByName(name);
    if (id >= 0) return {Target{id, name}};
    if (const std::optional<FrequencyRange> hz = parseFrequencyRange(name); hz && hz->marked)
        return frequencyTargets(name, *hz);
    const std::optional<NameRange> range = findNameRange(name);
    if (!range) throw unknownName(name, "");
    if (range->first > range->last)
        throw RenderError::commandLine("the range in \"" + name + "\" runs backwards: give the smaller number first");
    if (range->last - range->first >= kMaxRangeCount)
        throw RenderError::commandLine("the range in \"" + name + "\" is too long (at most " + std::to_string(kMaxRangeCount) +
                          " names)");
    std::vector<Target> targets;
    for (int n = range->first; n <= range->last; ++n) {
        const std::string single = range->before + std::to_string(n) + range->after;
        const int singleId = catalog_.findByName(single);
        if (singleId < 0) throw unknownName(single, " (in the range \"" + name + "\")");
        targets.push_back(Target{singleId, name});
    }
    return targets;
}

// The bins of the FFT size the plug-in shows now at the render's sample rate.
BinFrequency ParameterAssigner::currentBins(const std::string& name)
{
    const int fftSizeId = catalog_.findByName(kFftSizeName);
    if (fftSizeId < 0 || catalog_.findByName(binLevelName(0)) < 0)
        throw RenderError::commandLine("\"" + name + "\" names frequencies, but this plug-in has no \"FFT Size\" and bins");
    const std::optional<float> size = parsePlainNumber(plugin_.parameterDisplay(fftSizeId));
    const std::optional<BinFrequency> bins =
        size ? BinFrequency::make(static_cast<int>(*size), plugin_.sampleRate()) : std::nullopt;
    if (!bins) throw RenderError::commandLine("\"" + name + "\": the plug-in's FFT size or sample rate is unknown");
    return *bins;
}

std::vector<ParameterAssigner::Target> ParameterAssigner::frequencyTargets(const std::string& name,
                                                                           const FrequencyRange& range)
{
    const BinFrequency bins = currentBins(name);
    if (bins.rangeProblem(range.loHz, range.hiHz) != nullptr) {
        char text[256];
        bins.describeRangeProblem(range.loHz, range.hiHz, text, sizeof text);
        throw RenderError::commandLine("\"" + name + "\" is not a range of bins: " + text);
    }
    const BinRange binRange = *bins.binsIn(range.loHz, range.hiHz);
    std::vector<Target> targets;
    for (int bin = binRange.first; bin <= binRange.last; ++bin) {
        const int id = catalog_.findByName(binLevelName(bin));
        if (id < 0) throw unknownName(binLevelName(bin), " (in the range \"" + name + "\")");
        targets.push_back(Target{id, name});
    }
    mappedFftSize_ = bins.fftSize();
    mappedName_ = name;
    return targets;
}

std::optional<float> ParameterAssigner::plainNumber(int id, const std::string& value) const
{
    return catalog_.plainFromValueText(id, value);
}

void ParameterAssigner::assignOne(const Target& target, const std::string& value, bool warn)
{
    const ParameterRange range = effectiveRange(target.id);
    if (range.isIndexed && assignDisplayText(target.id, range, value)) return;
    const Given given{target.name, value, warn};
    if (!value.empty() && value.back() == '%') {
        assignPercentage(target.id, range, given);
        return;
    }
    if (range.isIndexed) {
        assignIndexed(target.id, range, given);
        return;
    }
    const std::optional<float> number = plainNumber(target.id, value);
    if (!number) throw notAValue(given, "expected a finite number");
    assignContinuous(target.id, range, given, *number);
}

RenderError ParameterAssigner::notAValue(const Given& given, const std::string& reason)
{
    return RenderError::commandLine("\"" + given.text + "\" is not a value for \"" + given.name + "\": " + reason);
}

// A share of a row that runs from 0 to 1, as people say it: "50%" is 0.5.
void ParameterAssigner::assignPercentage(int id, const ParameterRange& range, const Given& given)
{
    if (range.isIndexed || range.minValue != 0.0f || range.maxValue != 1.0f)
        throw notAValue(given, "only parameters that run from 0 to 1 take a percentage");
    const std::string number(trimmed(std::string_view(given.text).substr(0, given.text.size() - 1)));
    const std::optional<float> percent = parsePlainNumber(number);
    if (!percent) throw notAValue(given, "expected a finite number of percent");
    assignContinuous(id, range, given, *percent / 100.0f);
}

// A value that is none of the row's display texts.
void ParameterAssigner::assignIndexed(int id, const ParameterRange& range, const Given& given)
{
    const std::vector<std::pair<int, std::string>> texts = valueTexts(id);
    const std::optional<float> number = plainNumber(id, given.text);
    if (!number) throw notAValue(given, indexedChoices(range, texts, given.text));
    if (textsAreOtherNumbers(texts)) assignNumberText(id, range, given, *number, texts);
    else assignIndex(id, range, given, *number);
}

// What an indexed row takes, for a value it does not: its numbers, its words (a
// "Script Index" names the instance's scripts) and the word closest to the one typed.
std::string ParameterAssigner::indexedChoices(const ParameterRange& range, const ValueTexts& texts,
                                              const std::string& typed)
{
    std::vector<std::string> words;
    for (const auto& [index, text] : texts)
        if (text != std::to_string(index)) words.push_back(text);
    std::string choices = "expected a whole number from " + rangeText(range);
    if (words.empty()) return choices;
    const std::size_t more = words.size() > kMaxListedTexts ? words.size() - kMaxListedTexts : 0;
    const std::string hint = didYouMean(closestNames(typed, words, 1, false));
    words.resize(words.size() - more);
    choices += " or one of its display texts: " + listInWords(words, true);
    if (more > 0) choices += " and " + std::to_string(more) + " more (--list-parameters lists them)";
    return hint.empty() ? choices : choices + " (" + hint + ")";
}

// A row whose texts are numbers of their own ("FFT Size": 32 to 4096 for 0 to 7).
bool ParameterAssigner::textsAreOtherNumbers(const ValueTexts& texts)
{
    const auto isNumber = [](const auto& entry) { return parsePlainNumber(entry.second).has_value(); };
    const auto isOther = [](const auto& entry) { return entry.second != std::to_string(entry.first); };
    return std::all_of(texts.begin(), texts.end(), isNumber) && std::any_of(texts.begin(), texts.end(), isOther);
}

// The numbers such a row shows are what people type ("FFT Size=1024"); its index is taken
// only where it cannot be one of them. Any other number is refused with the numbers the
// row takes: the nearest would change the sound more than whoever typed it expects.
void ParameterAssigner::assignNumberText(int id, const ParameterRange& range, const Given& given, float number,
                                         const ValueTexts& texts)
{
    for (const auto& [index, text] : texts) {
        if (parsePlainNumber(text) == number) {
            plugin_.setParameter(id, indexToNormalized(range, index));
            return;
        }
    }
    if (number == std::floor(number) && number >= range.minValue && number <= range.maxValue) {
        plugin_.setParameter(id, indexToNormalized(range, static_cast<int>(number)));
        return;
    }
    std::vector<std::string> shown;
    for (const auto& entry : texts) shown.push_back(entry.second);
    throw notAValue(given, "choose " + listInWords(shown, false));
}

ParameterRange ParameterAssigner::effectiveRange(int id)
{
    ParameterRange range = catalog_.range(id);
    if (range.maximumKnownOnlyToPlugin)
        range.maxValue = range.minValue + static_cast<float>(discoverIndexedMaximum(id));
    return range;
}

int ParameterAssigner::discoverIndexedMaximum(int id)
{
    const float saved = plugin_.getParameter(id);
    int maximum = 0;
    for (int step = 1; step <= kMaximumProbeSteps; ++step) {
        plugin_.setParameter(id, static_cast<float>(step) / kMaximumProbeSteps);
        const float readBack = plugin_.getParameter(id);
        if (readBack > 0.0f) {
            maximum = static_cast<int>(std::lround(1.0f / readBack));
            break;
        }
    }
    plugin_.setParameter(id, saved);
    return maximum;
}

float ParameterAssigner::indexToNormalized(const ParameterRange& range, int index)
{
    const float span = range.maxValue - range.minValue;
    return span > 0.0f ? (static_cast<float>(index) - range.minValue) / span : 0.0f;
}

std::vector<std::pair<int, std::string>> ParameterAssigner::valueTexts(int id)
{
    const ParameterRange range = effectiveRange(id);
    const float saved = plugin_.getParameter(id);
    std::vector<std::pair<int, std::string>> texts;
    const int first = static_cast<int>(std::lround(range.minValue));
    const int last = static_cast<int>(std::lround(range.maxValue));
    for (int index = first; index <= last; ++index) {
        plugin_.setParameter(id, indexToNormalized(range, index));
        texts.emplace_back(index, plugin_.parameterDisplay(id));
    }
    plugin_.setParameter(id, saved);
    return texts;
}

bool ParameterAssigner::assignDisplayText(int id, const ParameterRange& range, const std::string& value)
{
    const float saved = plugin_.getParameter(id);
    const std::string_view wanted = trimmed(value);
    const int first = static_cast<int>(std::lround(range.minValue));
    const int last = static_cast<int>(std::lround(range.maxValue));
    for (int index = first; index <= last; ++index) {
        plugin_.setParameter(id, indexToNormalized(range, index));
        if (equalsIgnoringCase(plugin_.parameterDisplay(id), wanted)) return true;
    }
    plugin_.setParameter(id, saved);
    return false;
}

// As every other way into the plug-in: a value outside the range is clamped to it, with
// a warning (naming the value as it was given, "6 dB") so that a typing error does not go
// unnoticed.
float ParameterAssigner::clampedToRange(const ParameterRange& range, const Given& given, float value)
{
    const float clamped = std::clamp(value, range.minValue, range.maxValue);
    if (clamped != value && given.warn)
        std::fprintf(stderr, "lumenfold-render: warning: %s is outside \"%s\" (%s): using %s\n", given.text.c_str(),
                     given.name.c_str(), rangeText(range).c_str(), formatPlain(clamped).c_str());
    return clamped;
}

void ParameterAssigner::assignIndex(int id, const ParameterRange& range, const Given& given, float value)
{
    if (value != std::floor(value))
        throw RenderError::commandLine("value " + formatPlain(value) + " is not a whole number for \"" + given.name +
                                       "\" (" + rangeText(range) + ")");
    plugin_.setParameter(id, indexToNormalized(range, static_cast<int>(clampedToRange(range, given, value))));
}

void ParameterAssigner::assignContinuous(int id, const ParameterRange& range, const Given& given, float value)
{
    plugin_.setParameter(id, catalog_.plainToNormalized(id, clampedToRange(range, given, value)));
}

std::string ParameterAssigner::shownText(int id, float plain)
{
    const ParameterRange range = effectiveRange(id);
    const float saved = plugin_.getParameter(id);
    plugin_.setParameter(id, catalog_.plainToNormalized(id, std::clamp(plain, range.minValue, range.maxValue)));
    const std::string display = plugin_.parameterDisplay(id);
    const std::string label = plugin_.parameterLabel(id);
    plugin_.setParameter(id, saved);
    return label.empty() ? display : display + " " + label;
}

}  // namespace lfrender
