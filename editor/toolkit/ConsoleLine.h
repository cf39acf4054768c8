#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace QN {

// One line of an instance's script console as the editor shows it.
struct ConsoleLine {
    std::string source;  // "file:line", or what ran ("timer", "spectral script", "skin")
    std::string text;    // an error's text starts with its file and line
    bool error = false;
    std::size_t repeats = 0;   // the same error came this many more times
    std::uint64_t number = 0;  // rises line by line, so a selection outlives scrolling
};

}  // namespace QN
