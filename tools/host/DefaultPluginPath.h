#pragma once
// Where the tools look for the plug-in when none is named, first found wins:
// Lumenfold.so next to the running executable (where the build puts both), then in each
// folder of LXVST_PATH and VST_PATH, then ../lib/vst (or ../lib/lxvst) beside the executable
// (a system install), then ~/.vst. When none exists, the path next to the executable.

#include <string>

namespace lfhost {

[[nodiscard]] std::string defaultPluginPath();

}  // namespace lfhost
