#include "gui/toolkit/NumericFormat.h"

#include "platform/CLocaleScope.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace QN {
namespace {

// Skips one conversion's flags, width and precision from text[i] (just after '%');
// answers the index of the conversion character.
std::size_t skipSpecification(const std::string& text, std::size_t i)
{
    while (i < text.size() && std::strchr("-+ #0", text[i])) ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    }
    return i;
}

}  // namespace

std::optional<NumericFormat> NumericFormat::parse(const std::string& pattern)
{
    constexpr std::size_t kMaxPattern = 32;
    if (pattern.empty() || pattern.size() > kMaxPattern) return std::nullopt;
    int conversions = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            ++i;
            continue;
        }
        i = skipSpecification(pattern, i + 1);
        if (i >= pattern.size() || !std::strchr("feEgG", pattern[i])) return std::nullopt;
        // Widths and precisions beyond two digits only serve to overflow.
        ++conversions;
    }
    if (conversions != 1) return std::nullopt;
    return NumericFormat(pattern);
}

std::string NumericFormat::format(double value) const
{
    char text[64];
    platform::CLocaleScope numbersWithPoints;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int length = std::snprintf(text, sizeof text, pattern_.c_str(), value);
#pragma GCC diagnostic pop
    return length < 0 ? std::string() : std::string(text);
}

}  // namespace QN
