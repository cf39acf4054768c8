#pragma once
// The user's preset files (PresetFile) in the presets folder, saved and loaded by file
// name for scripts (savePreset, loadPreset) and OSC peers (/savePreset, /loadPreset).
// Only a plain file name is taken: no folder, no "..", nothing hidden, so that a script
// or a remote peer can read and write nowhere but the presets folder. A loaded preset is
// read whole first and then applied value by value through the instance's one door
// (PluginServices::setPlainParameter); a file that is refused changes nothing.
// Called on: any thread but the audio thread (files are read and written).

#include <string>
#include <vector>

namespace QN {

class PluginServices;

class UserPresets {
public:
    static constexpr std::size_t kMaxFileNameBytes = 200;

    struct Outcome {
        std::string error;                  // empty on success; then nothing changed on a load
        std::vector<std::string> messages;  // lines a load skipped, notes
        [[nodiscard]] bool ok() const { return error.empty(); }
    };

    // Null when name may name a preset file, else why not.
    [[nodiscard]] static const char* fileNameProblem(const std::string& name);
    // The path in the presets folder; ".preset" is added to a name without it.
    [[nodiscard]] static std::string pathOf(const std::string& name);
    // The instance's current values, named after the file, written in one step (a file of
    // that name is replaced whole or not at all).
    [[nodiscard]] static Outcome save(PluginServices& plugin, const std::string& name);
    [[nodiscard]] static Outcome load(PluginServices& plugin, const std::string& name);
};

}  // namespace QN
