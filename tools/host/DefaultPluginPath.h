#pragma once
// Where the tools look for the plug-in when none is named: Lumenfold.so next to the
// running executable, which is where the build puts both.

#include <string>

namespace lfhost {

[[nodiscard]] std::string defaultPluginPath();

}  // namespace lfhost
