#pragma once
// Comparing names and value texts the way people type them: ASCII letters without regard
// to case, surrounding blanks ignored. Non-ASCII bytes compare as they are.

#include <string>
#include <string_view>

namespace lfrender {

[[nodiscard]] std::string lowerAscii(std::string_view text);
[[nodiscard]] bool equalsIgnoringCase(std::string_view a, std::string_view b);
[[nodiscard]] std::string_view trimmed(std::string_view text);

}  // namespace lfrender
