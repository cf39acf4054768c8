#pragma once
// An output file that appears under its final name only when complete: it is written
// under a hidden temporary name in the same folder (so the rename stays on one file
// system and is atomic) and removed again unless commit() is reached.

#include <string>

namespace lfrender {

class TemporaryOutputFile {
public:
    // Throws RenderError when the folder cannot take a new file.
    explicit TemporaryOutputFile(std::string finalPath);
    ~TemporaryOutputFile();

    TemporaryOutputFile(const TemporaryOutputFile&) = delete;
    TemporaryOutputFile& operator=(const TemporaryOutputFile&) = delete;

    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] const std::string& temporaryPath() const { return temporaryPath_; }
    [[nodiscard]] const std::string& finalPath() const { return finalPath_; }

    void writeAll(const void* data, std::size_t size);
    // Closes the file and moves it to its final name. Throws RenderError on failure.
    void commit();

private:
    std::string finalPath_;
    std::string temporaryPath_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace lfrender
