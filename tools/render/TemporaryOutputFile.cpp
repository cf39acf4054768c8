#include "tools/render/TemporaryOutputFile.h"

#include "tools/render/FileProblem.h"
#include "tools/render/RenderError.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace lfrender {
namespace {

constexpr const char* kTemporaryName = ".lumenfold-XXXXXX.partial";
constexpr int kTemporarySuffixLength = 8;  // ".partial"

// The temporary files a signal handler removes: filled and emptied on the main thread, read
// by the handler, which may only use what is safe there (atomics, unlink).
struct PendingFile {
    std::atomic<bool> used{false};
    char path[PATH_MAX] = {};
};
constexpr int kPendingSlots = 8;
PendingFile pendingFiles[kPendingSlots];

int rememberPending(const std::string& path)
{
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kPendingSlots; ++i) {
        PendingFile& slot = pendingFiles[i];
        if (slot.used.load(std::memory_order_acquire)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.used.store(true, std::memory_order_release);
        return i;
    }
    return -1;  // more than kPendingSlots at once: that one is not removed on a signal
}

void forgetPending(int slot)
{
    if (slot >= 0) pendingFiles[slot].used.store(false, std::memory_order_release);
}

// Holds back the signals that end a render while a temporary file is made and remembered:
// one arriving between the two would leave the file behind. It is delivered, and the file
// removed, as soon as they are let through again.
class EndingSignalsHeld {
public:
    EndingSignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signalNumber);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t previous_;
};

extern "C" void removePendingAndEnd(int signalNumber)
{
    const int savedErrno = errno;
    for (PendingFile& slot : pendingFiles)
        if (slot.used.load(std::memory_order_acquire)) ::unlink(slot.path);
    errno = savedErrno;
    // SA_RESETHAND has put back the default action; the signal, blocked while this runs,
    // ends the program as soon as the handler returns.
    ::raise(signalNumber);
}

std::string temporaryTemplate(const std::string& finalPath)
{
    const std::filesystem::path path(finalPath);
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    return (folder / kTemporaryName).string();
}

// mkstemps creates files for the owner only; give the result the permissions any other
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

// What stands under the final name when it is not a regular file, else nothing.
const char* nonRegularKind(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return nullptr;
    if (S_ISDIR(status.st_mode)) return "a folder";
    if (S_ISFIFO(status.st_mode)) return "a FIFO";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "a device";
    if (S_ISSOCK(status.st_mode)) return "a socket";
    return "not a regular file";
}

}  // namespace

void TemporaryOutputFile::removeTemporariesOnSignals()
{
    struct sigaction action {};
    action.sa_handler = removePendingAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored from the start stays ignored (nohup, a background job).
        struct sigaction current {};
        if (::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        ::sigaction(signalNumber, &action, nullptr);
    }
}

TemporaryOutputFile::TemporaryOutputFile(std::string finalPath) : finalPath_(std::move(finalPath))
{
    if (const char* kind = nonRegularKind(finalPath_)) {
        if (std::strcmp(kind, "a folder") == 0)
            throw RenderError("cannot create " + finalPath_ + ": " + describeFileProblem(EISDIR));
        throw RenderError("cannot replace " + finalPath_ + ": it is " + kind + ", not a regular file");
    }
    const std::string name = temporaryTemplate(finalPath_);
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    int createError = 0;
    {
        const EndingSignalsHeld held;
        fd_ = mkstemps(buffer.data(), kTemporarySuffixLength);
        createError = errno;
        if (fd_ >= 0) slot_ = rememberPending(buffer.data());
    }
    if (fd_ < 0) throw RenderError("cannot create " + finalPath_ + ": " + folderProblem(createError));
    temporaryPath_ = buffer.data();
    fchmod(fd_, newFileMode());
}

TemporaryOutputFile::~TemporaryOutputFile()
{
    if (fd_ >= 0) close(fd_);
    if (!committed_) std::remove(temporaryPath_.c_str());
    forgetPending(slot_);
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
    // On the disk before it takes the final name, so that a crash leaves the old file or
    // the whole new one.
    if (fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)
        throw RenderError("cannot finish writing " + finalPath_ + ": " + describeFileProblem(errno));
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw RenderError("cannot finish writing " + finalPath_ + ": " + describeFileProblem(errno));
    if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0)
        throw RenderError("cannot create " + finalPath_ + ": " + describeFileProblem(errno));
    committed_ = true;
}

}  // namespace lfrender
