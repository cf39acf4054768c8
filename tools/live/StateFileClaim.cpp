#include "tools/live/StateFileClaim.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace lflive {
namespace {

// The canonical path may be longer than a socket name, so the name carries its hash.
std::uint64_t fnv1a(const std::string& text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::string canonicalPath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
    return error ? path : canonical.string();
}

}  // namespace

std::unique_ptr<StateFileClaim> StateFileClaim::claim(const std::string& statePath)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::unique_ptr<StateFileClaim>(new StateFileClaim(-1));  // no sockets: nothing to guard with
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    char name[sizeof(address.sun_path) - 1];
    const int length = std::snprintf(name, sizeof(name), "lumenfold-live-state-%016llx",
                                     static_cast<unsigned long long>(fnv1a(canonicalPath(statePath))));
    std::memcpy(address.sun_path + 1, name, static_cast<std::size_t>(length));  // sun_path[0] == 0: abstract
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(length));
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
        const bool taken = errno == EADDRINUSE;
        close(fd);
        if (taken) return nullptr;
        return std::unique_ptr<StateFileClaim>(new StateFileClaim(-1));
    }
    return std::unique_ptr<StateFileClaim>(new StateFileClaim(fd));
}

StateFileClaim::~StateFileClaim()
{
    if (socket_ >= 0) close(socket_);
}

}  // namespace lflive
