#pragma once

#include <string>
#include <vector>

class QuanTessamire;

// The presets the editor's preset menu offers: the factory presets (loaded as a host's
// program change loads them) and the user's preset files in the presets folder (saved,
// loaded, renamed and deleted by plain file name, checked as scripts' names are, so that
// nothing outside that folder is ever touched). Every operation answers an error line,
// empty on success; a refused one changes nothing.
// Called on: host GUI thread.
class PresetLibrary {
public:
    struct Entry {
        std::string name;
        int factoryIndex = -1;  // the program number; -1 for a user preset file
        [[nodiscard]] bool isFactory() const { return factoryIndex >= 0; }
    };

    explicit PresetLibrary(QuanTessamire& plugin) : plugin_(plugin) {}

    // The user's preset files without their extension, sorted; hidden and
    // badly named files are left out.
    [[nodiscard]] static std::vector<std::string> userPresetNames();
    // The user's presets (the ones most often wanted), then the factory ones in program order.
    [[nodiscard]] static std::vector<Entry> entries();
    // The current program's name.
    [[nodiscard]] std::string currentName() const;

    std::string load(const Entry& entry);
    // Writes the current values to name's file (replacing one of that name).
    std::string save(const std::string& name);
    // Refuses to replace another preset file.
    std::string rename(const std::string& from, const std::string& to);
    std::string remove(const std::string& name);

private:
    QuanTessamire& plugin_;
};
