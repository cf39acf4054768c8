#pragma once

#include <string>

namespace platform {

// The "Xft.dpi" value of the X server's resource database, as text, or empty when the
// server has none (or there is no display). The text is not checked here: the caller
// validates it like any value from outside.
// Called on: host GUI thread (opens and closes a short connection of its own).
[[nodiscard]] std::string xftDpiResource();

}  // namespace platform
