#pragma once
// A user preset as a text file people can read and edit: a header with the product name
// and the format version, the preset's name, and only the values that differ from the
// table defaults, each under its parameter name in the text the row displays wherever
// that text reads back to exactly the value (else the number, marked "stored" where the
// display's unit is not the stored one). Bin levels go in runs of equal values:
//
//     Lumenfold preset 1
//     name = Low Notch
//     Wet Level = -6.02 dB
//     FFT Size = 1024
//     bins 5-39 = 0
//     end
//
// Reading treats the file as hostile: its size and line lengths are limited, and the
// whole file becomes a complete ProgramValues (table defaults + the file) before anyone
// applies it. A line that cannot be read (unknown name, value, a newer format's line) is
// skipped and named in one message; a file without the header, or whose every value line
// was skipped, is refused whole, so that nothing is applied. Texts allocate: never on the
// audio thread.

#include "engine/model/ParameterTable.h"
#include "engine/model/ProgramValues.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class PresetFile {
public:
    static constexpr int kFormatVersion = 1;
    static constexpr std::size_t kMaxFileBytes = 1u << 20;
    static constexpr std::size_t kMaxLineChars = 1024;
    // Lines named one by one; a hostile file's further skipped lines are counted in one.
    static constexpr std::size_t kMaxNamedLines = 20;
    static constexpr const char* kExtension = ".preset";

    // The row a value is written and read with: the instance's own where it has one
    // ("Script Index" has the instance's maximum), else the table's.
    using RowOf = std::function<ParameterInfo(int id)>;

    struct Reading {
        ProgramValues content;               // defaults + the file; apply only when usable()
        std::vector<std::string> messages;   // one per skipped line or note, for the user
        std::string refusal;                 // why nothing may be applied; empty when usable
        int valueLines = 0;                  // value lines taken over
        [[nodiscard]] bool usable() const { return refusal.empty(); }
    };

    // The file's text for a program's values and name.
    [[nodiscard]] static std::string text(const ProgramValues& content, const RowOf& rowOf = parameterInfo);
    [[nodiscard]] static Reading parse(std::string_view text, const RowOf& rowOf = parameterInfo);
    // parse() of a regular file of at most kMaxFileBytes; refused when it cannot be read.
    [[nodiscard]] static Reading read(const std::string& path, const RowOf& rowOf = parameterInfo);
    // The table defaults and an empty name: what a preset starts from.
    [[nodiscard]] static ProgramValues defaults();
};
