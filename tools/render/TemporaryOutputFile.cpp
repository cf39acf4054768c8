#include "tools/render/TemporaryOutputFile.h"

#include "tools/render/FileProblem.h"
#include "tools/render/RenderError.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace lfrender {
namespace {

std::string temporaryTemplate(const std::string& finalPath)
{
    const std::filesystem::path path(finalPath);
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    return (folder / ("." + path.filename().string() + ".partial-XXXXXX")).string();
}

// mkstemp creates files for the owner only; give the result the permissions any other
// newly created file would get under the current umask.
mode_t newFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// A new file could not be made in the output's folder: say what is wrong with the folder.
std::string folderProblem(int errorNumber)
{
    if (errorNumber == ENOENT) return "its folder does not exist";
    if (errorNumber == ENOTDIR) return "a part of its folder's path is a file, not a folder";
    if (errorNumber == EACCES || errorNumber == EPERM) return "its folder does not allow new files (permission denied)";
    return describeFileProblem(errorNumber);
}

}  // namespace

TemporaryOutputFile::TemporaryOutputFile(std::string finalPath) : finalPath_(std::move(finalPath))
{
    std::error_code ignored;
    if (std::filesystem::is_directory(finalPath_, ignored))
        throw RenderError("cannot create " + finalPath_ + ": " + describeFileProblem(EISDIR));
    std::string name = temporaryTemplate(finalPath_);
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    fd_ = mkstemp(buffer.data());
    if (fd_ < 0) throw RenderError("cannot create " + finalPath_ + ": " + folderProblem(errno));
    temporaryPath_ = buffer.data();
    fchmod(fd_, newFileMode());
}

TemporaryOutputFile::~TemporaryOutputFile()
{
    if (fd_ >= 0) close(fd_);
    if (!committed_) std::remove(temporaryPath_.c_str());
}

void TemporaryOutputFile::writeAll(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd_, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw RenderError("cannot write " + finalPath_ + ": " + describeFileProblem(errno));
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

void TemporaryOutputFile::commit()
{
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw RenderError("cannot finish writing " + finalPath_ + ": " + describeFileProblem(errno));
    if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0)
        throw RenderError("cannot create " + finalPath_ + ": " + describeFileProblem(errno));
    committed_ = true;
}

}  // namespace lfrender
