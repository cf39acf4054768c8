#pragma once
// Plain words for why a file could not be used, so that every error line names the file
// and the reason without library jargon; and the one way the tools open a file they read
// (a state, a MIDI file, an input audio file), through platform::openRegularFile: never
// blocking, only a regular file, only up to a size limit for its kind.

#include "platform/FileSystem.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace lfrender {

// Size limits of the files the tools read. A state is read whole (the plug-in's own is
// 8500 bytes), and so is a MIDI file (MidiFileReader::kMaxFileBytes). Audio is read a
// block at a time, so its length costs time but no memory: any size is taken.
inline constexpr std::uint64_t kMaxStateFileBytes = 64u << 10;
inline constexpr std::uint64_t kAnyFileSize = std::numeric_limits<std::uint64_t>::max();

// "it does not exist", "it is a folder, not a file", "permission denied", ... for an errno
// value met while opening, reading or writing a file.
[[nodiscard]] std::string describeFileProblem(int errorNumber);

// "64 KB", "64 MB", "1000 bytes": a size limit in words (a KB is 1024 bytes).
[[nodiscard]] std::string describeSize(std::uint64_t bytes);

// Opens the file what names ("state file", "MIDI file", "input file") for reading, as
// platform::openRegularFile does. Throws RenderError with one line naming the file and
// the reason: "cannot read state file X: it does not exist" (or "it is a folder, not a
// file", "it is a FIFO, not a regular file", "permission denied"), or "state file X is
// larger than 64 KB".
[[nodiscard]] platform::OpenedFile openInputFile(const std::string& path, const std::string& what,
                                                 std::uint64_t maxBytes);

// The whole of such a file, read without blocking; throws RenderError as openInputFile
// does, and when the file cannot be read to its end.
[[nodiscard]] std::vector<std::uint8_t> readInputFile(const std::string& path, const std::string& what,
                                                      std::uint64_t maxBytes);

// True when the two paths name the same file: the same device and inode when both exist
// (so a hard link or a symbolic link to the file counts), else the same absolute path
// with ".", ".." and the links of its existing part resolved.
[[nodiscard]] bool namesSameFile(const std::string& first, const std::string& second);

}  // namespace lfrender
