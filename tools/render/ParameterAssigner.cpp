#include "tools/render/ParameterAssigner.h"

#include "tools/host/PluginInstance.h"
#include "tools/render/ParameterCatalog.h"
#include "tools/render/RenderError.h"
#include "tools/render/TextMatching.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

namespace lfrender {
namespace {

// Probing steps for discoverIndexedMaximum: finds maxima up to this many indices.
constexpr int kMaximumProbeSteps = 8192;

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
    const std::vector<Target> targets = resolveTargets(name);
    // The first target checks the value, so a refused value changes nothing.
    for (std::size_t i = 0; i < targets.size(); ++i) assignOne(targets[i], value, i == 0);
}

std::vector<ParameterAssigner::Target> ParameterAssigner::resolveTargets(const std::string& name) const
{
    const int id = catalog_.findByName(name);
    if (id >= 0) return {Target{id, name}};
    const std::optional<NameRange> range = findNameRange(name);
    if (!range) throw RenderError::commandLine("unknown parameter \"" + name + "\"");
    if (range->first > range->last)
        throw RenderError::commandLine("the range in \"" + name + "\" runs backwards: give the smaller number first");
    if (range->last - range->first >= kMaxRangeCount)
        throw RenderError::commandLine("the range in \"" + name + "\" is too long (at most " + std::to_string(kMaxRangeCount) +
                          " names)");
    std::vector<Target> targets;
    for (int n = range->first; n <= range->last; ++n) {
        const std::string single = range->before + std::to_string(n) + range->after;
        const int singleId = catalog_.findByName(single);
        if (singleId < 0) throw RenderError::commandLine("unknown parameter \"" + single + "\" (in the range \"" + name + "\")");
        targets.push_back(Target{singleId, name});
    }
    return targets;
}

std::optional<float> ParameterAssigner::plainNumber(int id, const std::string& value) const
{
    if (const std::optional<float> plain = parsePlainNumber(value)) return plain;
    const std::string_view text = trimmed(value);
    const std::optional<std::string> number = withoutUnit(text, catalog_.unit(id));
    const std::string_view inUnit = number ? std::string_view(*number) : text;
    const std::optional<float> given = equalsIgnoringCase(inUnit, "-inf") ? -std::numeric_limits<float>::infinity()
                                       : number                          ? parsePlainNumber(*number)
                                                                         : std::nullopt;
    if (!given) return std::nullopt;
    const float plain = catalog_.plainFromUnitNumber(id, *given);
    return std::isfinite(plain) ? std::optional<float>(plain) : std::nullopt;
}

void ParameterAssigner::assignOne(const Target& target, const std::string& value, bool warn)
{
    const ParameterRange range = effectiveRange(target.id);
    if (range.isIndexed && assignDisplayText(target.id, range, value)) return;

    const std::optional<float> number = plainNumber(target.id, value);
    if (!number) {
        const char* expected = range.isIndexed ? "a finite number or one of its display texts" : "a finite number";
        throw RenderError::commandLine("\"" + value + "\" is not a value for \"" + target.name + "\": expected " + expected);
    }
    const Given given{target.name, std::string(trimmed(value)), warn};
    if (range.isIndexed) assignIndex(target.id, range, given, *number);
    else assignContinuous(target.id, range, given, *number);
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
