#pragma once

#include <string>

namespace platform {

// Hands a web address to the desktop's browser ("xdg-open") without waiting for it.
// False when the opener cannot be started. Only http and https addresses are passed
// on. Called on: host GUI thread.
bool openUrl(const std::string& url);

}  // namespace platform
