#pragma once
// Keeps two lumenfold-live instances from saving to the same state file, which would
// leave only the last one's settings. The claim is an abstract socket named after the
// file's canonical path: the system drops it when the process ends, however it ends, and
// it leaves nothing on disk.

#include <memory>
#include <string>

namespace lflive {

class StateFileClaim {
public:
    // Null when another process holds the claim on the same file.
    [[nodiscard]] static std::unique_ptr<StateFileClaim> claim(const std::string& statePath);
    ~StateFileClaim();
    StateFileClaim(const StateFileClaim&) = delete;
    StateFileClaim& operator=(const StateFileClaim&) = delete;

private:
    explicit StateFileClaim(int socket) : socket_(socket) {}
    int socket_;
};

}  // namespace lflive
