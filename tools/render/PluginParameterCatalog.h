#pragma once
// The catalogue of a plug-in we have no table for: the names it reports, each with the
// host interface's own 0..1 range as its plain range.

#include "tools/render/ParameterCatalog.h"

#include <string>
#include <vector>

namespace lfhost {
class PluginInstance;
}

namespace lfrender {

class PluginParameterCatalog : public ParameterCatalog {
public:
    explicit PluginParameterCatalog(lfhost::PluginInstance& plugin);

    [[nodiscard]] int findByName(std::string_view name) const override;
    [[nodiscard]] ParameterRange range(int id) const override;
    [[nodiscard]] float plainToNormalized(int id, float plain) const override;

private:
    std::vector<std::string> names_;
};

}  // namespace lfrender
