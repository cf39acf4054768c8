#pragma once
// Where the renderer looks up parameters by name, their plain ranges, units and defaults,
// and the mapping of plain values to the 0..1 values the host interface carries.

#include "tools/render/ParameterRange.h"

#include <optional>
#include <string>
#include <string_view>

namespace lfrender {

class ParameterCatalog {
public:
    virtual ~ParameterCatalog() = default;

    // Parameter id with this name, or -1. The catalogues of real plug-ins match without
    // regard to case; the first row of a repeated name wins.
    [[nodiscard]] virtual int findByName(std::string_view name) const = 0;
    [[nodiscard]] virtual ParameterRange range(int id) const = 0;
    [[nodiscard]] virtual float plainToNormalized(int id, float plain) const = 0;
    // The reverse, for a continuous row (indexed rows count their steps over the range
    // the plug-in gives them). The host interface's own 0..1 unless the catalogue knows better.
    [[nodiscard]] virtual float normalizedToPlain(int /*id*/, float normalized) const { return normalized; }

    // The unit a value may carry as a suffix ("dB", "ms"); empty for unitless rows.
    [[nodiscard]] virtual std::string unit(int /*id*/) const { return {}; }
    // A number given in that unit ("-6 dB", "-inf") as a plain value: the number itself,
    // except for rows whose unit is not their plain unit (ParameterRange::unitIsNotPlain),
    // which convert it. Not finite when it stands for no plain value.
    [[nodiscard]] virtual float plainFromUnitNumber(int /*id*/, float number) const { return number; }
    // The value a fresh instance starts with, in plain units, when the catalogue knows it.
    [[nodiscard]] virtual std::optional<float> defaultValue(int /*id*/) const { return std::nullopt; }
};

}  // namespace lfrender
