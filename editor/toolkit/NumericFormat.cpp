#include "editor/toolkit/NumericFormat.h"

#include "platform/CLocaleScope.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace QN {
namespace {

// Digits of a width or a precision; more than two only serve to make the C library write
// (and the render thread wait for) megabytes of zeros for one field.
constexpr std::size_t kMaxDigits = 2;

// Skips up to kMaxDigits + 1 digits from text[i]; answers the index after them, or npos when
// there were more than kMaxDigits.
std::size_t skipDigits(const std::string& text, std::size_t i)
{
    const std::size_t start = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    return i - start > kMaxDigits ? std::string::npos : i;
}

// Skips one conversion's flags, width and precision from text[i] (just after '%');
// answers the index of the conversion character, or npos for an over-long width or precision.
std::size_t skipSpecification(const std::string& text, std::size_t i)
{
    while (i < text.size() && std::strchr("-+ #0", text[i])) ++i;
    i = skipDigits(text, i);
    if (i < text.size() && text[i] == '.') {
        i = skipDigits(text, i + 1);
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
