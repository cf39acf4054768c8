#include "engine/model/ValueFormatting.h"

#include <charconv>
#include <cmath>
#include <cstring>

std::string formatFixed(double value, int decimals)
{
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return "Huge!";
    }
    return std::string(buffer, result.ptr);
}

std::string formatParameterNumber(float value)
{
    if (std::isnan(value)) {
        return "nan";
    }
    const float magnitude = std::fabs(value);
    int decimals = 0;
    if (magnitude < 10.0f) {
        decimals = 3;
    } else if (magnitude < 100.0f) {
        decimals = 2;
    } else if (magnitude < 1000.0f) {
        decimals = 1;
    }
    std::string text = std::isinf(value) ? std::string("inf") : formatFixed(magnitude, decimals);
    return value < 0.0f ? "-" + text : text;
}

std::optional<float> parseParameterNumber(std::string_view text)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') {
        ++begin;  // from_chars takes no plus sign
    }
    float value = 0.0f;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || begin == end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string formatTruncatedInteger(float value)
{
    long long integer = 0;
    if (std::isfinite(value)) {
        const double clamped = std::fmax(-2147483648.0, std::fmin(2147483647.0, value));
        integer = static_cast<long long>(clamped);
    }
    return std::to_string(integer);
}

void copyText(char* destination, const std::string& text, std::size_t maxChars)
{
    const std::size_t length = text.size() < maxChars ? text.size() : maxChars;
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

bool isPrintableText(const char* text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    while (*bytes != 0) {
        const unsigned char lead = *bytes++;
        if (lead < 0x20 || lead == 0x7F) {
            return false;
        }
        // Continuation bytes a lead byte announces; overlong and surrogate forms need no
        // finer check for a display name.
        const int continuation = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                                 : lead >= 0xF0 && lead < 0xF5                ? 3
                                                                              : -1;
        if (continuation < 0) {
            return false;
        }
        for (int k = 0; k < continuation; ++k, ++bytes) {
            if ((*bytes & 0xC0) != 0x80) {
                return false;
            }
        }
    }
    return true;
}
