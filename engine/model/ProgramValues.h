#pragma once
// One program's content taken out of its block, in this machine's byte order: every
// plain value in id order and the name. Lets a state chunk be checked and corrected
// before any of it reaches the program that the audio thread reads.

#include "engine/model/ParameterTable.h"

#include <array>

struct ProgramValues {
    static constexpr std::size_t kNameSize = 32;

    std::array<float, kParameterCount> values{};
    std::array<char, kNameSize> name{};  // always zero-terminated
};
