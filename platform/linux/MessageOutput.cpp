#include "platform/MessageOutput.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace platform {
namespace {

void writeAll(const char* text, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace

void showError(const std::string& text) {
    // One buffer, one write: the line cannot interleave with other output.
    const std::string line = "Error: " + text + "\n";
    writeAll(line.data(), line.size());
}

void writeDebugOutput(const char* text) {
    if (text != nullptr) writeAll(text, std::strlen(text));
}

}  // namespace platform
