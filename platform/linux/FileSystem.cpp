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

bool isReadableRegularFile(const std::string& path) {
    struct stat info {};
    return isReadable(path) && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
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

FileRead readRegularFile(const std::string& path, std::size_t maxBytes) {
    FileRead result;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        result.status = errno == ENOENT || errno == ENOTDIR ? FileReadStatus::Missing : FileReadStatus::Unreadable;
        return result;
    }
    // Checked before opening: opening some devices already does something.
    if (!S_ISREG(info.st_mode)) {
        result.status = FileReadStatus::NotRegular;
        return result;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.status = errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::Unreadable;
        return result;
    }
    // The path may have been replaced between the two looks: the descriptor decides.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.status = FileReadStatus::NotRegular;
        return result;
    }
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > maxBytes) {
        ::close(fd);
        result.status = FileReadStatus::TooLarge;
        return result;
    }
    std::size_t done = 0;
    result.status = FileReadStatus::Read;
    try {
        // Room for one byte more than fstat saw tells a file that grew since.
        result.text.resize(static_cast<std::size_t>(info.st_size) + 1);
        for (;;) {
            if (done == result.text.size()) {
                if (done > maxBytes) break;
                result.text.resize(std::min(done * 2, maxBytes + 1));
            }
            const ssize_t got = ::read(fd, result.text.data() + done, result.text.size() - done);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) result.status = FileReadStatus::Unreadable;
            if (got <= 0) break;
            done += static_cast<std::size_t>(got);
        }
    } catch (...) {
        result.status = FileReadStatus::TooLarge;
    }
    ::close(fd);
    if (result.status == FileReadStatus::Read && done > maxBytes) result.status = FileReadStatus::TooLarge;
    result.text.resize(result.status == FileReadStatus::Read ? done : 0);
    result.text.shrink_to_fit();
    return result;
}

const char* describe(FileReadStatus status) {
    switch (status) {
    case FileReadStatus::Read: return "read";
    case FileReadStatus::Missing: return "missing";
    case FileReadStatus::NotRegular: return "not a regular file";
    case FileReadStatus::TooLarge: return "too large";
    case FileReadStatus::Unreadable: return "unreadable";
    }
    return "unreadable";
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
