#pragma once
// The plug-in's programs as the host interface names them (getProgramNameIndexed):
// --list-presets prints them, --preset NAME selects one by name.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace lfhost {
class PluginInstance;
}

namespace lfrender {

class ProgramList {
public:
    // More programs than this are not asked for: a broken plug-in's count is not trusted.
    static constexpr int kMaxPrograms = 4096;

    explicit ProgramList(lfhost::PluginInstance& plugin);

    [[nodiscard]] const std::vector<std::string>& names() const { return names_; }
    // The program with this name, compared without regard to case or surrounding blanks.
    [[nodiscard]] std::optional<int> find(const std::string& name) const;
    // Makes the program current (effSetProgram).
    void select(int index);
    // One line per program: its number, name and, where the plug-in gives one, description.
    void print(std::FILE* out);

private:
    [[nodiscard]] std::string description(int index);

    lfhost::PluginInstance& plugin_;
    std::vector<std::string> names_;
};

}  // namespace lfrender
