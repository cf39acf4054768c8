#pragma once

#include <cstddef>
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

// What readRegularFile found.
enum class FileReadStatus {
    Read,        // the whole file is in the text
    Missing,     // no such file (or a dangling link): nothing to read, nothing to report
    NotRegular,  // a FIFO, a device, a socket or a folder stands in its place
    TooLarge,    // larger than the limit given
    Unreadable,  // exists but cannot be opened or read
};

struct FileRead {
    FileReadStatus status = FileReadStatus::Missing;
    std::string text;
};

// Reads a file that comes from outside (preferences, skin scripts and images) without
// ever blocking or growing without bound: only a regular file is read (checked before
// opening and again on the descriptor, opened with O_NONBLOCK so that a FIFO or a device
// cannot hold the caller), and only when it holds at most maxBytes.
[[nodiscard]] FileRead readRegularFile(const std::string& path, std::size_t maxBytes);

// A short English reason for a status other than Read, for one diagnostic line.
[[nodiscard]] const char* describe(FileReadStatus status);

}  // namespace platform
