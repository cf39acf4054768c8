#include "editor/product/PresetLibrary.h"

#include "engine/instance/QuanTessamire.h"
#include "engine/model/FactoryPresets.h"
#include "engine/model/PresetFile.h"
#include "engine/scripting/UserPresets.h"
#include "platform/FileSystem.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::string stemOf(const std::string& fileName)
{
    const std::size_t extension = std::strlen(PresetFile::kExtension);
    if (fileName.size() <= extension) return {};
    if (fileName.compare(fileName.size() - extension, extension, PresetFile::kExtension) != 0) return {};
    return fileName.substr(0, fileName.size() - extension);
}

const char* nameProblem(const std::string& name) { return QN::UserPresets::fileNameProblem(name); }

// The preset's name as the program shows it: the file name without its extension.
std::string presetNameOf(const std::string& name)
{
    const std::string stem = stemOf(name);
    return stem.empty() ? name : stem;
}

bool exists(const std::string& path)
{
    std::error_code error;
    return fs::exists(path, error);
}

}  // namespace

std::vector<std::string> PresetLibrary::userPresetNames()
{
    std::vector<std::string> names;
    for (const std::string& file : platform::listFileNames(presetsFolder(), PresetFile::kExtension)) {
        std::string name = stemOf(file);
        if (!name.empty() && !nameProblem(name)) names.push_back(std::move(name));
    }
    return names;
}

std::vector<PresetLibrary::Entry> PresetLibrary::entries()
{
    std::vector<Entry> list;
    for (std::string& name : userPresetNames()) list.push_back({std::move(name), -1});
    for (int i = 0; i < FactoryPresets::count(); ++i) list.push_back({FactoryPresets::name(i), i});
    return list;
}

std::string PresetLibrary::currentName() const
{
    std::array<char, 64> name{};
    plugin_.getProgramName(name.data());
    return name.data();
}

std::string PresetLibrary::load(const Entry& entry)
{
    if (entry.isFactory()) {
        return plugin_.loadFactoryPreset(entry.factoryIndex) ? "" : "there is no factory preset " + entry.name;
    }
    const QN::UserPresets::Outcome outcome = QN::UserPresets::load(plugin_, entry.name);
    if (outcome.ok()) plugin_.setProgramName(entry.name.c_str());
    return outcome.error;
}

std::string PresetLibrary::save(const std::string& name)
{
    const QN::UserPresets::Outcome outcome = QN::UserPresets::save(plugin_, name);
    if (outcome.ok()) plugin_.setProgramName(presetNameOf(name).c_str());
    return outcome.error;
}

std::string PresetLibrary::rename(const std::string& from, const std::string& to)
{
    if (const char* problem = nameProblem(from)) return problem;
    if (const char* problem = nameProblem(to)) return problem;
    const std::string source = QN::UserPresets::pathOf(from), target = QN::UserPresets::pathOf(to);
    if (!exists(source)) return "there is no preset " + from;
    if (exists(target)) return "a preset named " + to + " exists already";
    std::error_code error;
    fs::rename(source, target, error);
    return error ? "cannot rename " + source + ": " + error.message() : "";
}

std::string PresetLibrary::remove(const std::string& name)
{
    if (const char* problem = nameProblem(name)) return problem;
    const std::string path = QN::UserPresets::pathOf(name);
    std::error_code error;
    if (!fs::remove(path, error)) return error ? "cannot delete " + path + ": " + error.message() : "there is no preset " + name;
    return {};
}
