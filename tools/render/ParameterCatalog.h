#pragma once
// Where the renderer looks up parameters by name, their plain ranges and the mapping of
// plain values to the 0..1 values the host interface carries.

#include "tools/render/ParameterRange.h"

#include <string_view>

namespace lfrender {

class ParameterCatalog {
public:
    virtual ~ParameterCatalog() = default;

    // Parameter id with exactly this name, or -1.
    [[nodiscard]] virtual int findByName(std::string_view name) const = 0;
    [[nodiscard]] virtual ParameterRange range(int id) const = 0;
    [[nodiscard]] virtual float plainToNormalized(int id, float plain) const = 0;
};

}  // namespace lfrender
