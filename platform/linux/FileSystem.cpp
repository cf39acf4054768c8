#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size()
        && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Regular files are kept, other known types dropped; when the type cannot be
// found (a dangling link) the entry is kept for the caller's readability test.
bool isFileEntry(int folderFd, const char* name) {
    struct stat info {};
    if (::fstatat(folderFd, name, &info, 0) != 0) return true;
    return S_ISREG(info.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool isReadable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), R_OK) == 0;
}

std::vector<std::string> listFileNames(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !endsWith(name, suffix)) continue;
        if (isFileEntry(::dirfd(dir), entry->d_name)) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool makeDirectories(const std::string& path) {
    if (path.empty()) return false;
    // Create each prefix in turn; existing ones (EEXIST) are fine.
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    return isDirectory(path);
}

}  // namespace platform
