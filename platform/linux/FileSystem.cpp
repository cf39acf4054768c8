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

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

}  // namespace

OpenedFile::OpenedFile(OpenedFile&& other) noexcept
    : status_(other.status_), fd_(other.fd_), size_(other.size_), errorNumber_(other.errorNumber_), kind_(other.kind_) {
    other.fd_ = -1;
}

OpenedFile& OpenedFile::operator=(OpenedFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        status_ = other.status_;
        fd_ = other.fd_;
        size_ = other.size_;
        errorNumber_ = other.errorNumber_;
        kind_ = other.kind_;
        other.fd_ = -1;
    }
    return *this;
}

OpenedFile::~OpenedFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool OpenedFile::clearNonBlocking() {
    const int flags = fd_ >= 0 ? ::fcntl(fd_, F_GETFL) : -1;
    return flags >= 0 && ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

int OpenedFile::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

OpenedFile openRegularFile(const std::string& path, std::uint64_t maxBytes) {
    OpenedFile file;
    const auto fail = [&file](FileReadStatus status, int errorNumber) {
        file.status_ = status;
        file.errorNumber_ = errorNumber;
        return std::move(file);
    };
    struct stat info {};
    if (path.empty()) return fail(FileReadStatus::Missing, ENOENT);
    if (::stat(path.c_str(), &info) != 0)
        return fail(errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::Unreadable, errno);
    // Checked before opening: opening a FIFO waits for a writer, and opening some devices
    // already does something.
    if (!S_ISREG(info.st_mode)) {
        file.kind_ = kindOf(info.st_mode);
        return fail(FileReadStatus::NotRegular, 0);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::Unreadable, errno);
    file.fd_ = fd;
    // The path may have been replaced between the two looks: the descriptor decides.
    if (::fstat(fd, &info) != 0) return fail(FileReadStatus::Unreadable, errno);
    if (!S_ISREG(info.st_mode)) {
        file.kind_ = kindOf(info.st_mode);
        return fail(FileReadStatus::NotRegular, 0);
    }
    file.size_ = info.st_size < 0 ? 0 : static_cast<std::uint64_t>(info.st_size);
    if (info.st_size < 0 || file.size_ > maxBytes) return fail(FileReadStatus::TooLarge, 0);
    file.status_ = FileReadStatus::Read;
    return file;
}

FileRead readRegularFile(const std::string& path, std::size_t maxBytes) {
    FileRead result;
    OpenedFile file = openRegularFile(path, maxBytes);
    result.status = file.status();
    if (result.status != FileReadStatus::Read) return result;
    const int fd = file.fd();
    std::size_t done = 0;
    try {
        // Room for one byte more than fstat saw tells a file that grew since.
        result.text.resize(static_cast<std::size_t>(file.size()) + 1);
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
    } catch (const std::exception&) {  // no memory; a cancellation of the thread passes
        result.status = FileReadStatus::TooLarge;
    }
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
