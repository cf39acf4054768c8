#include "tools/host/DefaultPluginPath.h"

#include <filesystem>
#include <system_error>

namespace lfhost {

std::string defaultPluginPath()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "Lumenfold.so";
    return (executable.parent_path() / "Lumenfold.so").string();
}

}  // namespace lfhost
