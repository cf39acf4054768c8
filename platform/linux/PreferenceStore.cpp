#include "platform/PreferenceStore.h"

#include "platform/FileSystem.h"
#include "platform/MessageOutput.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

constexpr const char* kMakerFolder = "/Corvanne";
constexpr const char* kFileName = "/com.corvanne.lumenfold.conf";
constexpr std::size_t kMaxStringBytes = 255;

// Closes a descriptor on every path.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : fd_(fd) {}
    ~ScopedFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::string homeFolder() {
    std::string home = environmentValue("HOME");
    if (!home.empty()) return home;
    passwd entry {};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr
        && found->pw_dir != nullptr)
        home = found->pw_dir;
    return home;
}

std::string makerFolder() {
    std::string config = environmentValue("XDG_CONFIG_HOME");
    if (config.empty()) {
        const std::string home = homeFolder();
        if (home.empty()) return {};
        config = home + "/.config";
    }
    return config + kMakerFolder;
}

// Only a regular file of at most this size is read: a FIFO or a device in its place
// would hold the host at its start, and a huge file would take its memory.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

// One line per path and problem, not one per value read: hosts read several values in a row.
void reportRefusedFile(const std::string& path, FileReadStatus status) {
    static std::mutex reportedLock;
    static std::string reported;
    const std::string limit = status == FileReadStatus::TooLarge
        ? " (the limit is " + std::to_string(kMaxFileBytes / 1024) + " KB)" : std::string();
    const std::string line = "the preference file " + path + " is ignored: " + describe(status) + limit
        + "; using the defaults";
    {
        std::lock_guard<std::mutex> lock(reportedLock);
        if (reported == line) return;
        reported = line;
    }
    showError(line);
}

// The file's text; empty when there is none, nothing when something unusable stands
// in its place (reported once).
std::optional<std::string> readWholeFile(const std::string& path) {
    FileRead file = readRegularFile(path, kMaxFileBytes);
    switch (file.status) {
    case FileReadStatus::Read: return std::move(file.text);
    case FileReadStatus::Missing: return std::string();
    default: reportRefusedFile(path, file.status); return std::nullopt;
    }
}

std::vector<std::string> splitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Lines without '=' are malformed and never match a name.
bool lineHasName(const std::string& line, const std::string& name) {
    return line.size() > name.size() && line.compare(0, name.size(), name) == 0
        && line[name.size()] == '=';
}

std::optional<std::string> findValue(const std::vector<std::string>& lines, const std::string& name) {
    for (const std::string& line : lines)
        if (lineHasName(line, name)) return line.substr(name.size() + 1);
    return std::nullopt;
}

bool validName(const std::string& name) {
    return !name.empty() && name.find_first_of("=\n\r") == std::string::npos
        && name.find('\0') == std::string::npos;
}

bool validValue(const std::string& value) {
    return value.find_first_of("\n\r") == std::string::npos && value.find('\0') == std::string::npos;
}

std::optional<std::string> readValue(const std::string& name) {
    if (!validName(name)) return std::nullopt;
    const std::string folder = makerFolder();
    if (folder.empty()) return std::nullopt;
    // The maker's folder (shared by the maker's products) comes into being on
    // a read; the product's file only on a write.
    (void)makeDirectories(folder);
    const std::optional<std::string> content = readWholeFile(folder + kFileName);
    if (!content) return std::nullopt;
    return findValue(splitLines(*content), name);
}

// Replaces the first line of that name, drops later duplicates, and appends
// the value when it was not there. Other lines, malformed ones included, stay
// as they were.
void putValue(std::vector<std::string>& lines, const std::string& name, const std::string& value) {
    const std::string newLine = name + "=" + value;
    bool placed = false;
    std::vector<std::string> result;
    for (std::string& line : lines) {
        if (!lineHasName(line, name)) {
            result.push_back(std::move(line));
        } else if (!placed) {
            result.push_back(newLine);
            placed = true;
        }
    }
    if (!placed) result.push_back(newLine);
    lines.swap(result);
}

bool writeAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// A temporary copy is the file's name, this marker and mkostemp's six random characters;
// nothing else in the folder is ever taken for one.
constexpr const char* kTemporaryMarker = ".tmp-";
constexpr std::size_t kRandomPartLength = 6;

// Writes into a temporary file in the same folder and renames it over the
// target, so the file is always either the old or the new complete text.
void replaceFile(const std::string& path, const std::string& content) {
    std::string temporary = path + kTemporaryMarker + std::string(kRandomPartLength, 'X');
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return;
    const bool written = writeAll(fd, content) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0)
        ::unlink(temporary.c_str());
}

// A writer killed between creating its temporary copy and renaming it leaves the copy
// behind. Copies only come into being under the lock, so any copy found while holding
// it belongs to such a writer.
void removeStaleCopies(const std::string& folder) {
    const std::string prefix = std::string(kFileName + 1) + kTemporaryMarker;
    for (const std::string& name : listFileNames(folder, "")) {
        if (name.size() == prefix.size() + kRandomPartLength && name.compare(0, prefix.size(), prefix) == 0)
            ::unlink((folder + "/" + name).c_str());
    }
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string content;
    for (const std::string& line : lines) content += line + "\n";
    return content;
}

void writeValue(const std::string& name, const std::string& value) {
    if (!validName(name) || !validValue(value)) return;
    const std::string folder = makerFolder();
    if (folder.empty() || !makeDirectories(folder)) return;
    const std::string path = folder + kFileName;
    // The lock covers read-modify-write, so concurrent writers keep each
    // other's values. Closing the descriptor releases it.
    ScopedFd lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0) return;
    while (::flock(lock.get(), LOCK_EX) != 0)
        if (errno != EINTR) return;
    removeStaleCopies(folder);
    // Something that cannot be read in the file's place is left alone rather than
    // replaced by a file holding only this value.
    const std::optional<std::string> content = readWholeFile(path);
    if (!content) return;
    std::vector<std::string> lines = splitLines(*content);
    putValue(lines, name, value);
    const std::string joined = joinLines(lines);
    // A file the next read would refuse is not written.
    if (joined.size() > kMaxFileBytes) {
        showError("the preference \"" + name + "\" is not stored: the preference file would pass "
                  + std::to_string(kMaxFileBytes / 1024) + " KB");
        return;
    }
    replaceFile(path, joined);
}

// Cuts at maxBytes without splitting a UTF-8 sequence.
std::string cutText(std::string text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

}  // namespace

int readPreferenceInt(const std::string& name, int defaultValue) {
    try {
        const std::optional<std::string> text = readValue(name);
        if (!text) return defaultValue;
        int value = 0;
        const char* end = text->data() + text->size();
        const auto [stop, error] = std::from_chars(text->data(), end, value);
        return error == std::errc() && stop == end ? value : defaultValue;
    } catch (const std::exception&) {
        return defaultValue;
    }
}

void writePreferenceInt(const std::string& name, int value) {
    char buffer[16];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) return;
    writePreferenceString(name, std::string(buffer, end));
}

std::optional<std::string> readPreferenceString(const std::string& name) {
    try {
        std::optional<std::string> text = readValue(name);
        if (text) return cutText(std::move(*text), kMaxStringBytes);
        return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void writePreferenceString(const std::string& name, const std::string& value) {
    try {
        writeValue(name, value);
    } catch (const std::exception&) {
        // A failed write keeps the old file; the caller keeps its own copy.
    }
}

std::string preferenceFilePath() {
    try {
        const std::string folder = makerFolder();
        return folder.empty() ? std::string() : folder + kFileName;
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace platform
