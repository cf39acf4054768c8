#include "engine/scripting/UserPresets.h"

#include "engine/model/PresetFile.h"
#include "engine/model/ValueFormatting.h"
#include "engine/scripting/PluginServices.h"
#include "platform/FileSystem.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace QN {
namespace {

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string presetNameOf(const std::string& name)
{
    const std::string extension = PresetFile::kExtension;
    return endsWith(name, extension) ? name.substr(0, name.size() - extension.size()) : name;
}

PresetFile::RowOf rowsOf(PluginServices& plugin)
{
    return [&plugin](int id) { return plugin.parameterRow(id); };
}

ProgramValues currentContent(PluginServices& plugin, const std::string& name)
{
    ProgramValues content;
    for (int id = 0; id < kParameterCount; ++id) content.values[static_cast<std::size_t>(id)] = plugin.parameterValue(id);
    copyText(content.name.data(), presetNameOf(name), ProgramValues::kNameSize - 1);
    return content;
}

// Written beside the target and renamed over it: a reader never sees half a file.
std::string writeWhole(const std::string& path, const std::string& text)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return "cannot create a file in " + presetsFolder() + ": " + std::strerror(errno);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    // No fsync: scripts call this holding the state the audio thread may be waiting for.
    const bool complete = written == text.size();
    ::close(fd);
    if (!complete || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        return "cannot write " + path + ": " + reason;
    }
    return {};
}

}  // namespace

const char* UserPresets::fileNameProblem(const std::string& name)
{
    if (name.empty()) return "the preset file name is empty";
    if (name.size() > kMaxFileNameBytes) return "the preset file name is too long";
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
        return "a preset file name may not contain a path separator: presets live in the presets folder";
    if (name.find("..") != std::string::npos) return "a preset file name may not contain \"..\"";
    if (name.front() == '.') return "a preset file name may not start with '.'";
    if (name.find('\0') != std::string::npos || !isPrintableText(name.c_str()))
        return "a preset file name may not hold control characters";
    if (name == PresetFile::kExtension) return "the preset file name is empty";
    return nullptr;
}

std::string UserPresets::pathOf(const std::string& name)
{
    return presetsFolder() + (endsWith(name, PresetFile::kExtension) ? name : name + PresetFile::kExtension);
}

UserPresets::Outcome UserPresets::save(PluginServices& plugin, const std::string& name)
{
    Outcome outcome;
    if (const char* problem = fileNameProblem(name)) {
        outcome.error = problem;
        return outcome;
    }
    if (!platform::makeDirectories(presetsFolder())) {
        outcome.error = "cannot create the presets folder " + presetsFolder();
        return outcome;
    }
    outcome.error = writeWhole(pathOf(name), PresetFile::text(currentContent(plugin, name), rowsOf(plugin)));
    return outcome;
}

UserPresets::Outcome UserPresets::load(PluginServices& plugin, const std::string& name)
{
    Outcome outcome;
    if (const char* problem = fileNameProblem(name)) {
        outcome.error = problem;
        return outcome;
    }
    const std::string path = pathOf(name);
    PresetFile::Reading reading = PresetFile::read(path, rowsOf(plugin));
    outcome.messages = std::move(reading.messages);
    if (!reading.usable()) {
        outcome.error = path + ": " + reading.refusal;
        return outcome;
    }
    // Values that already hold are left alone: a preset load is not a burst of automation.
    // Where this instance listens for OSC is the user's set-up, not part of a sound (and a
    // remote peer must not move the server it talks to): a preset leaves the port alone,
    // as a factory preset does.
    for (int id = 0; id < kParameterCount; ++id) {
        if (id == ParameterId::OscPortOffset) continue;
        const float value = reading.content.values[static_cast<std::size_t>(id)];
        if (plugin.parameterValue(id) != value) plugin.setPlainParameter(id, value);
    }
    return outcome;
}

}  // namespace QN
