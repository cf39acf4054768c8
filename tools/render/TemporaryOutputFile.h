#pragma once
// An output file that appears under its final name only when complete: it is written
// under a short hidden name of its own in the same folder (".lumenfold-XXXXXX.partial",
// made unique by mkstemps; the rename then stays on one file system and is atomic, and
// the final name may be as long as the system allows) and removed again unless commit()
// is reached. What stands under the final name is replaced only by that rename; a
// folder, FIFO, device or socket there is refused, never replaced.

#include <cstddef>
#include <string>

namespace lfrender {

class TemporaryOutputFile {
public:
    // Throws RenderError when the folder cannot take a new file or the final name is
    // taken by something other than a regular file.
    explicit TemporaryOutputFile(std::string finalPath);
    ~TemporaryOutputFile();

    TemporaryOutputFile(const TemporaryOutputFile&) = delete;
    TemporaryOutputFile& operator=(const TemporaryOutputFile&) = delete;

    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] const std::string& temporaryPath() const { return temporaryPath_; }
    [[nodiscard]] const std::string& finalPath() const { return finalPath_; }

    void writeAll(const void* data, std::size_t size);
    // Flushes the file to the disk, closes it and moves it to its final name. Throws
    // RenderError on failure.
    void commit();

    // Makes SIGINT, SIGTERM and SIGHUP remove every temporary file not yet committed
    // before the program ends by the signal as it would have (one ignored from the start,
    // as under nohup, stays ignored). For programs that take those signals with their
    // default action (lumenfold-render); call it first in main.
    static void removeTemporariesOnSignals();

private:
    std::string finalPath_;
    std::string temporaryPath_;
    int fd_ = -1;
    int slot_ = -1;  // in the list the signal handler removes
    bool committed_ = false;
};

}  // namespace lfrender
