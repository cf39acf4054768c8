#include "tools/render/FileProblem.h"

#include "tools/render/RenderError.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace lfrender {

std::string describeFileProblem(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT: return "it does not exist";
    case EISDIR: return "it is a folder, not a file";
    case ENOTDIR: return "a part of its path is a file, not a folder";
    case EACCES:
    case EPERM: return "permission denied";
    case ENOSPC: return "the disk is full";
    case EROFS: return "the file system is read-only";
    case ENAMETOOLONG: return "its name is too long";
    default: return std::strerror(errorNumber);
    }
}

std::string describeSize(std::uint64_t bytes)
{
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MB";
    if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) return std::to_string(bytes >> 10) + " KB";
    return std::to_string(bytes) + " bytes";
}

platform::OpenedFile openInputFile(const std::string& path, const std::string& what, std::uint64_t maxBytes)
{
    platform::OpenedFile file = platform::openRegularFile(path, maxBytes);
    const std::string failure = "cannot read " + what + " " + path + ": ";
    switch (file.status()) {
    case platform::FileReadStatus::Read: return file;
    case platform::FileReadStatus::Missing:
    case platform::FileReadStatus::Unreadable: throw RenderError(failure + describeFileProblem(file.errorNumber()));
    case platform::FileReadStatus::NotRegular:
        if (std::strcmp(file.kind(), "a folder") == 0) throw RenderError(failure + describeFileProblem(EISDIR));
        throw RenderError(failure + "it is " + file.kind() + ", not a regular file");
    case platform::FileReadStatus::TooLarge:
        throw RenderError(what + " " + path + " is larger than " + describeSize(maxBytes));
    }
    throw RenderError(failure + describeFileProblem(EIO));
}

std::vector<std::uint8_t> readInputFile(const std::string& path, const std::string& what, std::uint64_t maxBytes)
{
    const platform::OpenedFile file = openInputFile(path, what, maxBytes);
    // One byte more than fstat said tells a file that grew since; it never grows past the limit.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()) + 1);
    const std::uint64_t cap = maxBytes < kAnyFileSize ? maxBytes + 1 : kAnyFileSize;
    std::size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > maxBytes) throw RenderError(what + " " + path + " is larger than " + describeSize(maxBytes));
            bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(done * 2, cap)));
        }
        const ssize_t got = ::read(file.fd(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw RenderError("cannot read " + what + " " + path + " to its end: " + describeFileProblem(errno));
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

namespace {

std::filesystem::path normalisedPath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return std::filesystem::path(path).lexically_normal();
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

}  // namespace

bool namesSameFile(const std::string& first, const std::string& second)
{
    struct stat a {};
    struct stat b {};
    if (::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return normalisedPath(first) == normalisedPath(second);
}

}  // namespace lfrender
