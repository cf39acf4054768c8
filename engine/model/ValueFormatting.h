#pragma once
// Number texts for the host and remote peers. They always use '.' as the decimal
// separator, whatever locale the host process runs under.

#include <optional>
#include <string>
#include <string_view>

// "%.3f" below 10, "%.2f" below 100, "%.1f" below 1000, else "%.0f", with a leading
// "-" for negative values.
std::string formatParameterNumber(float value);

// A number spanning all of text (a leading "+" allowed), read the same way whatever the
// locale; nothing when text is not one or the number is not finite.
std::optional<float> parseParameterNumber(std::string_view text);

// Fixed-point text with the given number of decimals, locale-independent.
std::string formatFixed(double value, int decimals);

// The integer part as "%d" would print it; non-finite and huge values are clamped.
std::string formatTruncatedInteger(float value);

// Copies at most maxChars characters and a terminator into destination.
void copyText(char* destination, const std::string& text, std::size_t maxChars);

// True when text is well-formed UTF-8 with no control characters: what a name may hold.
bool isPrintableText(const char* text);
