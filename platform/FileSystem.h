#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// All functions may be called on any thread; none keeps state.

// Value of an environment variable, empty when it is not set.
std::string environmentValue(const char* name);

// True when the current user may read the path. A directory counts as readable,
// which is what a skin folder needs.
bool isReadable(const std::string& path);

// True when the path (links followed) is a regular file the current user may read: not
// a FIFO or a device, whose opening or reading could block or never end.
bool isReadableRegularFile(const std::string& path);

// Names (not paths) of the files in a folder whose names end with the suffix,
// sorted by byte order so that every run sees the same order. Directories and
// other non-regular entries are left out; an entry whose type cannot be
// determined (a dangling link) is kept, so the caller's readability test decides
// about it. Empty when the folder is missing or cannot be listed.
std::vector<std::string> listFileNames(const std::string& folder, const std::string& suffix);

// Creates the folder and any missing parents. True when the folder exists
// afterwards.
bool makeDirectories(const std::string& path);

// What readRegularFile or openRegularFile found.
enum class FileReadStatus {
    Read,        // the whole file is in the text (openRegularFile: the file is open)
    Missing,     // no such file (or a dangling link): nothing to read, nothing to report
    NotRegular,  // a FIFO, a device, a socket or a folder stands in its place
    TooLarge,    // larger than the limit given
    Unreadable,  // exists but cannot be opened or read
};

struct FileRead {
    FileReadStatus status = FileReadStatus::Missing;
    std::string text;
};

// A file from outside opened for reading by openRegularFile. It owns its descriptor
// (closed when it goes, unless released) and is moved, not copied.
class OpenedFile {
public:
    OpenedFile() = default;
    OpenedFile(OpenedFile&& other) noexcept;
    OpenedFile& operator=(OpenedFile&& other) noexcept;
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    ~OpenedFile();

    // Read when the file is open; the reason otherwise.
    [[nodiscard]] FileReadStatus status() const { return status_; }
    // The descriptor (O_RDONLY | O_NONBLOCK | O_CLOEXEC), -1 unless the status is Read.
    [[nodiscard]] int fd() const { return fd_; }
    // The size fstat gave for the open descriptor (TooLarge: the size that was refused).
    [[nodiscard]] std::uint64_t size() const { return size_; }
    // The system's error number behind Missing and Unreadable, else 0.
    [[nodiscard]] int errorNumber() const { return errorNumber_; }
    // For NotRegular, what stands in the file's place: "a folder", "a FIFO", "a device",
    // "a socket" or "not a regular file"; empty otherwise.
    [[nodiscard]] const char* kind() const { return kind_; }

    // Makes reads on the descriptor wait again (a regular file's reads never wait long;
    // some readers expect a blocking descriptor). False when the flag could not be cleared.
    bool clearNonBlocking();
    // Hands the descriptor to the caller, who closes it; the object keeps its status.
    int release();

private:
    friend OpenedFile openRegularFile(const std::string& path, std::uint64_t maxBytes);
    FileReadStatus status_ = FileReadStatus::Missing;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    int errorNumber_ = 0;
    const char* kind_ = "";
};

// The one way to open a file that comes from outside (a state, a MIDI file, an audio
// file, a preference file, a skin's script or image) without ever blocking: only a
// regular file is opened, checked before opening (opening a FIFO or some devices would
// wait or act) and again with fstat on the descriptor, which is opened with O_NONBLOCK;
// and only when fstat says it holds at most maxBytes. Nothing is read.
[[nodiscard]] OpenedFile openRegularFile(const std::string& path, std::uint64_t maxBytes);

// Reads a file that comes from outside (preferences, skin scripts and images) without
// ever blocking or growing without bound: only a regular file is read (checked before
// opening and again on the descriptor, opened with O_NONBLOCK so that a FIFO or a device
// cannot hold the caller: openRegularFile), and only when it holds at most maxBytes.
[[nodiscard]] FileRead readRegularFile(const std::string& path, std::size_t maxBytes);

// A short English reason for a status other than Read, for one diagnostic line.
[[nodiscard]] const char* describe(FileReadStatus status);

}  // namespace platform
