#pragma once
// The catalogue of Lumenfold itself, from the plug-in's own parameter table: names,
// units and ranges in plain units. Null when the plug-in loaded is not Lumenfold (its
// unique ID and parameter count differ) or this build has no table.

#include "tools/render/ParameterCatalog.h"

#include <memory>

namespace lfhost {
class PluginInstance;
}

namespace lfrender {

[[nodiscard]] std::unique_ptr<ParameterCatalog> makeLumenfoldParameterCatalog(lfhost::PluginInstance& plugin);

}  // namespace lfrender
