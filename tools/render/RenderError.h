#pragma once
// A failure that ends a render with one line on standard error.

#include <stdexcept>
#include <string>

namespace lfrender {

class RenderError : public std::runtime_error {
public:
    explicit RenderError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace lfrender
