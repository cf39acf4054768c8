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
    // A --set value (already trimmed) as a plain value, not yet clamped; nothing when it
    // is not a finite one. By default a number, which may carry unit() ("250 ms"); it is
    // defined with the assigner's reading of numbers. Lumenfold's catalogue reads it as
    // the plug-in does (ValueText's StoredNumber reading), where rows whose unit is not
    // their plain unit (ParameterRange::unitIsNotPlain) convert a number with the unit.
    [[nodiscard]] virtual std::optional<float> plainFromValueText(int id, const std::string& text) const;
    // The value a fresh instance starts with, in plain units, when the catalogue knows it.
    [[nodiscard]] virtual std::optional<float> defaultValue(int /*id*/) const { return std::nullopt; }
};

}  // namespace lfrender
