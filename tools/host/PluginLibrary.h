#pragma once
// A plug-in shared object opened for the rest of the process. The library is never
// closed: an instance's threads or callbacks may outlive any one owner of this object,
// and unloading code that may still run is worse than keeping a few pages mapped.

#include "engine/abi/Vst2Abi.h"

#include <memory>
#include <string>

namespace lfhost {

using PluginEntryProc = AEffect* (*)(AudioMasterCallback);

class PluginLibrary {
public:
    // Opens soPath and finds "VSTPluginMain", else "main". Null with *error set on failure.
    [[nodiscard]] static std::unique_ptr<PluginLibrary> open(const std::string& soPath, std::string* error);

    [[nodiscard]] PluginEntryProc entry() const { return entry_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    // Which symbol served as the entry point.
    [[nodiscard]] const std::string& entryName() const { return entryName_; }

private:
    PluginLibrary(std::string path, PluginEntryProc entry, std::string entryName);

    std::string path_;
    PluginEntryProc entry_;
    std::string entryName_;
};

}  // namespace lfhost
