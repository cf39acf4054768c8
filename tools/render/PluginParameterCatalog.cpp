#include "tools/render/PluginParameterCatalog.h"

#include "tools/host/PluginInstance.h"
#include "tools/render/TextMatching.h"

#include <algorithm>

namespace lfrender {

PluginParameterCatalog::PluginParameterCatalog(lfhost::PluginInstance& plugin)
{
    for (int id = 0; id < plugin.numParams(); ++id) {
        names_.push_back(plugin.parameterName(id));
        units_.push_back(plugin.parameterLabel(id));
        initialValues_.push_back(plugin.getParameter(id));
    }
}

int PluginParameterCatalog::findByName(std::string_view name) const
{
    const auto found = std::find_if(names_.begin(), names_.end(),
                                    [name](const std::string& candidate) { return equalsIgnoringCase(candidate, name); });
    return found == names_.end() ? -1 : static_cast<int>(found - names_.begin());
}

ParameterRange PluginParameterCatalog::range(int /*id*/) const { return ParameterRange{}; }

float PluginParameterCatalog::plainToNormalized(int /*id*/, float plain) const { return plain; }

std::string PluginParameterCatalog::unit(int id) const { return units_.at(static_cast<std::size_t>(id)); }

std::optional<float> PluginParameterCatalog::defaultValue(int id) const
{
    return initialValues_.at(static_cast<std::size_t>(id));
}

}  // namespace lfrender
