#pragma once
// The OSC server's diagnostic lines on standard output. Each line is written with one
// call and flushed, so lines from several threads and instances do not interleave.
// Text that came from the network is printed with control characters replaced, so a
// peer cannot forge or break up log lines.
// Called on: OSC thread, notify thread, host threads (Stop).

#include <string_view>

namespace QN {

class OscLog {
public:
    // "error while parsing message: <address>: <text>"
    static void messageError(std::string_view address, std::string_view text);
    // "<kind> in TaskMain(): <text>", kind being "osc::Exception" or "std::runtime_error".
    static void taskError(std::string_view kind, std::string_view text);
    // Any other line, written as given (a newline is added).
    static void line(std::string_view text);
};

}  // namespace QN
