#pragma once

#include <string>
#include <vector>

namespace platform {

// All functions may be called on any thread; none keeps state.

// Value of an environment variable, empty when it is not set.
std::string environmentValue(const char* name);

// True when the current user may read the path. A directory counts as readable,
// which is what a skin folder needs.
bool isReadable(const std::string& path);

// Names (not paths) of the files in a folder whose names end with the suffix,
// sorted by byte order so that every run sees the same order. Directories and
// other non-regular entries are left out; an entry whose type cannot be
// determined (a dangling link) is kept, so the caller's readability test decides
// about it. Empty when the folder is missing or cannot be listed.
std::vector<std::string> listFileNames(const std::string& folder, const std::string& suffix);

// Creates the folder and any missing parents. True when the folder exists
// afterwards.
bool makeDirectories(const std::string& path);

}  // namespace platform
