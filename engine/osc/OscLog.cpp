#include "engine/osc/OscLog.h"

#include <cstdio>
#include <string>

namespace QN {

namespace {

void appendPrintable(std::string& out, std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out.push_back(byte < 0x20 || byte == 0x7f ? '?' : c);
    }
}

void writeLine(std::string& line)
{
    line.push_back('\n');
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

std::string_view withoutTrailingNewlines(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

void OscLog::messageError(std::string_view address, std::string_view text)
{
    try {
        std::string line = "error while parsing message: ";
        appendPrintable(line, address);
        line += ": ";
        appendPrintable(line, withoutTrailingNewlines(text));
        writeLine(line);
    } catch (...) {
        // Out of memory while logging: the line is lost, the server goes on.
    }
}

void OscLog::taskError(std::string_view kind, std::string_view text)
{
    try {
        std::string line(kind);
        line += " in TaskMain(): ";
        appendPrintable(line, withoutTrailingNewlines(text));
        writeLine(line);
    } catch (...) {
    }
}

void OscLog::line(std::string_view text)
{
    try {
        std::string line(withoutTrailingNewlines(text));
        writeLine(line);
    } catch (...) {
    }
}

}  // namespace QN
