#pragma once
// The pieces of Turtle text the bundle's files share: string literals, port symbols and
// numbers.

#include "engine/model/ValueFormatting.h"

#include <charconv>
#include <string>

namespace lflv2ttl {

// A number for ranges and scale points: six decimals.
inline std::string number(float value) { return formatFixed(value, 6); }

// A number that reads back as exactly the same float (a preset's port values must
// equal its state block's), always with a decimal point or an exponent.
inline std::string exactNumber(float value)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    std::string literal(text, error == std::errc() ? end : text);
    if (literal.find_first_of(".e") == std::string::npos) literal += ".0";
    return literal;
}

// A Turtle string literal.
inline std::string quoted(const std::string& text)
{
    std::string literal = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') literal += '\\';
        literal += c;
    }
    return literal + "\"";
}

// A port's symbol from its parameter name: lower case, anything else an underscore.
inline std::string symbolOf(const char* name)
{
    std::string symbol;
    for (const char* c = name; *c; ++c) {
        const char ch = *c;
        const bool word = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        symbol += word ? static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch) : '_';
    }
    return symbol;
}

}  // namespace lflv2ttl
