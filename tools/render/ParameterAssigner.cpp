#include "tools/render/ParameterAssigner.h"

#include "tools/host/PluginInstance.h"
#include "tools/render/ParameterCatalog.h"
#include "tools/render/RenderError.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
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

ParameterAssigner::ParameterAssigner(lfhost::PluginInstance& plugin, const ParameterCatalog& catalog)
    : plugin_(plugin), catalog_(catalog)
{
}

void ParameterAssigner::assign(const std::string& name, const std::string& value)
{
    const int id = catalog_.findByName(name);
    if (id < 0) throw RenderError("unknown parameter \"" + name + "\"");
    const ParameterRange range = effectiveRange(id);
    if (range.isIndexed && assignDisplayText(id, range, value)) return;

    const std::optional<float> number = parsePlainNumber(value);
    if (!number) {
        const char* expected = range.isIndexed ? "a finite number or one of its display texts" : "a finite number";
        throw RenderError("\"" + value + "\" is not a value for \"" + name + "\": expected " + expected);
    }
    if (range.isIndexed) assignIndex(id, range, name, *number);
    else assignContinuous(id, range, name, *number);
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

bool ParameterAssigner::assignDisplayText(int id, const ParameterRange& range, const std::string& value)
{
    const float saved = plugin_.getParameter(id);
    const int first = static_cast<int>(std::lround(range.minValue));
    const int last = static_cast<int>(std::lround(range.maxValue));
    for (int index = first; index <= last; ++index) {
        plugin_.setParameter(id, indexToNormalized(range, index));
        if (plugin_.parameterDisplay(id) == value) return true;
    }
    plugin_.setParameter(id, saved);
    return false;
}

// As every other way into the plug-in: a value outside the range is clamped to it, with
// a warning so that a typing error does not go unnoticed.
float ParameterAssigner::clampedToRange(const ParameterRange& range, const std::string& name, float value)
{
    const float clamped = std::clamp(value, range.minValue, range.maxValue);
    if (clamped != value)
        std::fprintf(stderr, "lumenfold-render: warning: %s is outside \"%s\" (%s): using %s\n",
                     formatPlain(value).c_str(), name.c_str(), rangeText(range).c_str(), formatPlain(clamped).c_str());
    return clamped;
}

void ParameterAssigner::assignIndex(int id, const ParameterRange& range, const std::string& name, float value)
{
    if (value != std::floor(value))
        throw RenderError("value " + formatPlain(value) + " is not a whole number for \"" + name + "\" (" +
                          rangeText(range) + ")");
    plugin_.setParameter(id, indexToNormalized(range, static_cast<int>(clampedToRange(range, name, value))));
}

void ParameterAssigner::assignContinuous(int id, const ParameterRange& range, const std::string& name,
                                         float value)
{
    plugin_.setParameter(id, catalog_.plainToNormalized(id, clampedToRange(range, name, value)));
}

}  // namespace lfrender
