#include "platform/UserFolders.h"

#include "platform/FileSystem.h"

namespace {

const char* const kScriptsSubfolder = "Corvanne/Lumenfold/Scripts/";
const char* const kPresetsSubfolder = "Corvanne/Lumenfold/Presets/";
const char* const kSkinsSubfolder = "Corvanne/Lumenfold/Skins/";

// With no application data folder the sub-folder stays relative.
std::string underApplicationData(const std::string& subfolder) {
    const std::string base = applicationDataFolder();
    return base.empty() ? subfolder : base + "/" + subfolder;
}

bool isSafeSkinName(const std::string& name) {
    return !name.empty() && name != "." && name != ".."
        && name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

std::string applicationDataFolder() {
    const std::string dataHome = platform::environmentValue("XDG_DATA_HOME");
    if (!dataHome.empty()) return dataHome;
    const std::string home = platform::environmentValue("HOME");
    return home.empty() ? std::string() : home + "/.local/share";
}

std::string scriptsFolder() {
    return underApplicationData(kScriptsSubfolder);
}

std::string presetsFolder() {
    return underApplicationData(kPresetsSubfolder);
}

std::string skinPath(const std::string& name) {
    return underApplicationData(kSkinsSubfolder) + name;
}

void listScriptFiles(std::vector<std::string>& out) {
    const std::string folder = scriptsFolder();
    for (const std::string& name : platform::listFileNames(folder, ".lua")) {
        const std::string path = folder + name;
        if (platform::isReadable(path)) out.push_back(path);
    }
}

std::string findSkin(const std::string& name) {
    if (!isSafeSkinName(name)) return {};
    const std::string path = skinPath(name);
    if (platform::isReadable(path)) return path;
    const std::string bundle = path + ".bundle";
    return platform::isReadable(bundle) ? bundle : std::string();
}
