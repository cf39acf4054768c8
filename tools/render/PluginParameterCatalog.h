#pragma once
// The catalogue of a plug-in we have no table for: the names and unit labels it reports,
// each with the host interface's own 0..1 range as its plain range, and the values it
// held when the catalogue was made as its defaults.

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
    [[nodiscard]] std::string unit(int id) const override;
    [[nodiscard]] std::optional<float> defaultValue(int id) const override;

private:
    std::vector<std::string> names_;
    std::vector<std::string> units_;
    std::vector<float> initialValues_;
};

}  // namespace lfrender
