#include "tools/render/FileProblem.h"

#include "tools/render/RenderError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

void requireReadableFile(const std::string& path, const std::string& what)
{
    const std::string failure = "cannot read " + what + " " + path + ": ";
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) throw RenderError(failure + describeFileProblem(errno));
    if (S_ISDIR(status.st_mode)) throw RenderError(failure + describeFileProblem(EISDIR));
    if (::access(path.c_str(), R_OK) != 0) throw RenderError(failure + describeFileProblem(errno));
}

}  // namespace lfrender
