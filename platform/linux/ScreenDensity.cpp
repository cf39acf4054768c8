#include "platform/ScreenDensity.h"

#include "platform/linux/XErrorTrap.h"

#include <X11/Xlib.h>

#include <cstring>

namespace platform {
namespace {

// The longest value taken from the resource database; a longer one is passed on cut,
// and fails the caller's check.
constexpr std::size_t kMaxValueLength = 32;

std::string valueOf(const char* database, const char* name)
{
    const std::size_t nameLength = std::strlen(name);
    for (const char* line = database; line && *line;) {
        const char* end = std::strchr(line, '\n');
        const std::size_t length = end ? static_cast<std::size_t>(end - line) : std::strlen(line);
        if (length > nameLength && std::strncmp(line, name, nameLength) == 0 && line[nameLength] == ':') {
            std::string value(line + nameLength + 1, length - nameLength - 1);
            const std::size_t first = value.find_first_not_of(" \t");
            value = first == std::string::npos ? std::string() : value.substr(first);
            const std::size_t last = value.find_last_not_of(" \t\r");
            if (last != std::string::npos) value.resize(last + 1);
            if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
            return value;
        }
        line = end ? end + 1 : nullptr;
    }
    return {};
}

}  // namespace

std::string xftDpiResource()
{
    Display* display = openGuardedDisplay();
    if (!display) return {};
    const std::string value = valueOf(XResourceManagerString(display), "Xft.dpi");
    closeGuardedDisplay(display);
    return value;
}

}  // namespace platform
