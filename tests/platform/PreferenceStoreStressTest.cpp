// The preference file under writers that race each other across processes and writers
// that die in the middle of a write: whatever happens, the file parses and holds a
// value that some writer wrote.

#include "platform/PreferenceStore.h"

#include "support/ScopedEnvironmentVariable.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr const char* kShared = "Shared";
constexpr int kWritesEach = 120;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Every line is "name=value" with a name that appears once.
::testing::AssertionResult parsesCleanly(const std::string& content) {
    if (!content.empty() && content.back() != '\n')
        return ::testing::AssertionFailure() << "the last line is cut off";
    std::set<std::string> names;
    std::istringstream lines(content);
    for (std::string text; std::getline(lines, text);) {
        const std::size_t equals = text.find('=');
        if (equals == 0 || equals == std::string::npos)
            return ::testing::AssertionFailure() << "malformed line '" << text.substr(0, 80) << "'";
        if (!names.insert(text.substr(0, equals)).second)
            return ::testing::AssertionFailure() << "name given twice: " << text.substr(0, equals);
    }
    return ::testing::AssertionSuccess();
}

int waitForExit(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return status;
}

// The value child writes on its turn.
int sharedValue(int child, int turn) { return (child + 1) * 100000 + turn; }

class PreferenceStoreStress : public ::testing::Test {
protected:
    TemporaryFolder root;
    ScopedEnvironmentVariable config{"XDG_CONFIG_HOME", root / "config"};
    const std::string makerFolder = root / "config/Corvanne";
    const std::string file = makerFolder + "/com.corvanne.lumenfold.conf";

    // Kills the child as soon as its temporary copy is on disk (the write is then between
    // creating the copy and renaming it), or after a bounded look. True when the copy
    // was seen.
    bool killWhileCopying(pid_t child) const {
        const std::vector<std::string> before = temporaryFiles();
        bool seen = false;
        for (int look = 0; look < 100000 && !seen; ++look) seen = temporaryFiles() != before;
        ::kill(child, SIGKILL);
        return seen;
    }

    std::vector<std::string> temporaryFiles() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(makerFolder)) {
            const std::string name = entry.path().filename().string();
            if (name != "com.corvanne.lumenfold.conf" && name != "com.corvanne.lumenfold.conf.lock")
                found.push_back(name);
        }
        return found;
    }
};

pid_t startWriter(int child) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (int turn = 0; turn < kWritesEach; ++turn) {
            platform::writePreferenceInt(kShared, sharedValue(child, turn));
            platform::writePreferenceInt("Turn of " + std::to_string(child), turn);
        }
        ::_exit(0);
    }
    return pid;
}

TEST_F(PreferenceStoreStress, TwoProcessesWritingOneNameLeaveAFileHoldingTheLastValueOfOne) {
    const pid_t first = startWriter(0);
    ASSERT_GT(first, 0);
    const pid_t second = startWriter(1);
    ASSERT_GT(second, 0);
    std::set<int> written{-1};
    for (int child = 0; child < 2; ++child)
        for (int turn = 0; turn < kWritesEach; ++turn) written.insert(sharedValue(child, turn));
    int strangeReads = 0;
    for (int i = 0; i < 300; ++i)
        if (written.count(platform::readPreferenceInt(kShared, -1)) == 0) ++strangeReads;
    const int firstStatus = waitForExit(first);
    const int secondStatus = waitForExit(second);
    ASSERT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0);
    ASSERT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0);

    EXPECT_EQ(strangeReads, 0) << "a reader saw a value nobody wrote";
    EXPECT_TRUE(parsesCleanly(readFile(file)));
    const int last = platform::readPreferenceInt(kShared, -1);
    EXPECT_TRUE(last == sharedValue(0, kWritesEach - 1) || last == sharedValue(1, kWritesEach - 1)) << last;
    EXPECT_EQ(platform::readPreferenceInt("Turn of 0", -1), kWritesEach - 1);
    EXPECT_EQ(platform::readPreferenceInt("Turn of 1", -1), kWritesEach - 1);
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(PreferenceStoreStress, NextWriterClearsAwayACopyLeftByAKilledWriter) {
    platform::writePreferenceInt("Before", 1);
    for (const char* name : {"com.corvanne.lumenfold.conf.tmp-Ab3xYz", "com.corvanne.lumenfold.conf.old",
                             "com.corvanne.lumenfold.conf.backup", "notes.txt"})
        std::ofstream(makerFolder + "/" + name) << "Before=2\n";
    platform::writePreferenceInt("After", 3);
    EXPECT_FALSE(fs::exists(makerFolder + "/com.corvanne.lumenfold.conf.tmp-Ab3xYz"));
    EXPECT_TRUE(fs::exists(makerFolder + "/com.corvanne.lumenfold.conf.old")) << "not a temporary copy";
    EXPECT_TRUE(fs::exists(makerFolder + "/com.corvanne.lumenfold.conf.backup")) << "a user's own file";
    EXPECT_TRUE(fs::exists(makerFolder + "/notes.txt"));
    EXPECT_TRUE(fs::exists(file + ".lock"));
    EXPECT_EQ(platform::readPreferenceInt("Before", -1), 1);
}

// The child reports each finished write through the pipe and goes straight on with
// the next one, which is large (yet within the file's 64 KB), so the kill finds it
// inside a write.
[[noreturn]] void writeUntilKilled(int round, int reportFd) {
    const std::string filler(48 * 1024, static_cast<char>('a' + round % 26));
    for (int turn = 0;; ++turn) {
        platform::writePreferenceString("Filler", filler.substr(0, filler.size() - static_cast<std::size_t>(turn)));
        platform::writePreferenceInt(kShared, sharedValue(round, turn));
        const char done = 1;
        if (::write(reportFd, &done, 1) != 1) ::_exit(1);
    }
}

// Waits until the child has finished `count` writes.
void awaitWrites(int reportFd, int count) {
    for (int seen = 0; seen < count;) {
        char done = 0;
        const ssize_t got = ::read(reportFd, &done, 1);
        if (got == 1) ++seen;
        if (got == 0 || (got < 0 && errno != EINTR)) return;
    }
}

TEST_F(PreferenceStoreStress, WriterKilledMidWriteLeavesAFileHoldingAWrittenValue) {
    platform::writePreferenceInt(kShared, 7);
    std::mt19937 generator(5);
    std::uniform_int_distribution<int> writesBeforeKill(1, 6);
    int lowest = 7;
    int killedWhileCopying = 0;
    for (int round = 0; round < 12; ++round) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(report[0]);
            writeUntilKilled(round, report[1]);
        }
        ::close(report[1]);
        const int acknowledged = writesBeforeKill(generator);
        awaitWrites(report[0], acknowledged);
        killedWhileCopying += killWhileCopying(child) ? 1 : 0;
        ::close(report[0]);
        const int status = waitForExit(child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "round " << round;

        ASSERT_TRUE(parsesCleanly(readFile(file))) << "round " << round;
        const int value = platform::readPreferenceInt(kShared, -1);
        // Acknowledged writes are in; one more may have finished before the kill landed.
        lowest = sharedValue(round, acknowledged - 1);
        EXPECT_GE(value, lowest) << "round " << round;
        EXPECT_LT(value, sharedValue(round + 1, 0)) << "round " << round;
        // The dead writer's lock went with it: the next writer gets in.
        platform::writePreferenceInt("After round", round);
        EXPECT_EQ(platform::readPreferenceInt("After round", -1), round);
    }
    std::printf("[stress] %d of 12 writers killed with their temporary copy on disk\n", killedWhileCopying);
    EXPECT_GE(platform::readPreferenceInt(kShared, -1), lowest);
    // The writer that comes after a killed one clears away the killed one's temporary copy.
    EXPECT_TRUE(temporaryFiles().empty()) << temporaryFiles().size() << " left, first " << temporaryFiles()[0];
}

}  // namespace
