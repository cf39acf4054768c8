#include "tools/render/PluginParameterCatalog.h"

#include "tools/host/PluginInstance.h"

#include <algorithm>

namespace lfrender {

PluginParameterCatalog::PluginParameterCatalog(lfhost::PluginInstance& plugin)
{
    for (int id = 0; id < plugin.numParams(); ++id) names_.push_back(plugin.parameterName(id));
}

int PluginParameterCatalog::findByName(std::string_view name) const
{
    const auto found = std::find(names_.begin(), names_.end(), name);
    return found == names_.end() ? -1 : static_cast<int>(found - names_.begin());
}

ParameterRange PluginParameterCatalog::range(int /*id*/) const { return ParameterRange{}; }

float PluginParameterCatalog::plainToNormalized(int /*id*/, float plain) const { return plain; }

}  // namespace lfrender
