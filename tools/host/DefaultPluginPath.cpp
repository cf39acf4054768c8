#include "tools/host/DefaultPluginPath.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

namespace lfhost {
namespace {

constexpr const char* kPluginFile = "Lumenfold.so";

void addSearchPath(std::vector<std::filesystem::path>& candidates, const char* variable)
{
    const char* value = std::getenv(variable);
    if (!value) return;
    std::istringstream folders(value);
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty()) candidates.push_back(std::filesystem::path(folder) / kPluginFile);
}

}  // namespace

std::string defaultPluginPath()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path beside = error ? std::filesystem::path(kPluginFile)
                                               : executable.parent_path() / kPluginFile;
    std::vector<std::filesystem::path> candidates = {beside};
    addSearchPath(candidates, "LXVST_PATH");
    addSearchPath(candidates, "VST_PATH");
    if (!error) {
        // A system install: lib/vst under the prefix (lib/lxvst, where earlier versions put it).
        const std::filesystem::path lib = executable.parent_path().parent_path() / "lib";
        candidates.push_back(lib / "vst" / kPluginFile);
        candidates.push_back(lib / "lxvst" / kPluginFile);
    }
    if (const char* home = std::getenv("HOME")) candidates.push_back(std::filesystem::path(home) / ".vst" / kPluginFile);
    for (const auto& candidate : candidates)
        if (std::filesystem::is_regular_file(candidate, error)) return candidate.string();
    return beside.string();
}

}  // namespace lfhost
