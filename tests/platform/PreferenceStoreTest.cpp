#include "platform/PreferenceStore.h"

#include "support/ChildProcess.h"
#include "support/ScopedEnvironmentVariable.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

class PreferenceStore : public ::testing::Test {
protected:
    TemporaryFolder root;
    ScopedEnvironmentVariable config{"XDG_CONFIG_HOME", root / "config"};
    const std::string makerFolder = root / "config/Corvanne";
    const std::string file = makerFolder + "/com.corvanne.lumenfold.conf";

    void writeRawFile(const std::string& content) {
        fs::create_directories(makerFolder);
        std::ofstream(file, std::ios::binary) << content;
    }
};

TEST_F(PreferenceStore, GivesTheDefaultsWhenNothingIsStored) {
    EXPECT_EQ(platform::readPreferenceInt("OSC Base Port", 7000), 7000);
    EXPECT_EQ(platform::readPreferenceInt("Enable eye candy", 1), 1);
    EXPECT_EQ(platform::readPreferenceInt("Enable floating tooltip", 0), 0);
    EXPECT_FALSE(platform::readPreferenceString("Skin").has_value());
}

TEST_F(PreferenceStore, FirstReadCreatesOnlyTheMakerFolder) {
    (void)platform::readPreferenceInt("OSC Base Port", 7000);
    (void)platform::readPreferenceString("Skin");
    ASSERT_TRUE(fs::is_directory(makerFolder));
    EXPECT_TRUE(fs::is_empty(makerFolder));
}

TEST_F(PreferenceStore, LivesInXdgConfigHomeElseInHomeConfig) {
    EXPECT_EQ(platform::preferenceFilePath(), file);
    ScopedEnvironmentVariable noConfig("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnvironmentVariable home("HOME", root / "home");
    EXPECT_EQ(platform::preferenceFilePath(), root / "home/.config/Corvanne/com.corvanne.lumenfold.conf");
}

TEST_F(PreferenceStore, ValuesReadBackAsWritten) {
    platform::writePreferenceInt("OSC Base Port", 9000);
    platform::writePreferenceInt("Lowest", INT_MIN);
    platform::writePreferenceInt("Highest", INT_MAX);
    platform::writePreferenceString("Skin", "Night Sky");
    platform::writePreferenceString("Empty", "");
    EXPECT_EQ(platform::readPreferenceInt("OSC Base Port", 7000), 9000);
    EXPECT_EQ(platform::readPreferenceInt("Lowest", 0), INT_MIN);
    EXPECT_EQ(platform::readPreferenceInt("Highest", 0), INT_MAX);
    EXPECT_EQ(platform::readPreferenceString("Skin"), "Night Sky");
    EXPECT_EQ(platform::readPreferenceString("Empty"), "");
}

TEST_F(PreferenceStore, WritesNameEqualsValueLinesAndReplacesInPlace) {
    platform::writePreferenceInt("OSC Base Port", 7001);
    platform::writePreferenceString("Skin", "Dark");
    platform::writePreferenceInt("OSC Base Port", -5);
    EXPECT_EQ(readFile(file), "OSC Base Port=-5\nSkin=Dark\n");
}

TEST_F(PreferenceStore, LongTextReadsBackCutTo255Bytes) {
    platform::writePreferenceString("Skin", std::string(300, 'k'));
    EXPECT_EQ(platform::readPreferenceString("Skin"), std::string(255, 'k'));
}

TEST_F(PreferenceStore, CutNeverSplitsAUtf8Character) {
    platform::writePreferenceString("Skin", std::string(254, 'k') + "\xC3\xA9tude");
    EXPECT_EQ(platform::readPreferenceString("Skin"), std::string(254, 'k'));
}

TEST_F(PreferenceStore, MalformedLinesAndNumbersAreIgnored) {
    writeRawFile("no equals sign\n=orphan\nA=12ab\nB= 1\nC=4294967296\nD=\nE=+3\nF=-2147483648\nG=a=b\n");
    for (const char* name : {"A", "B", "C", "D", "E"})
        EXPECT_EQ(platform::readPreferenceInt(name, 77), 77) << name;
    EXPECT_EQ(platform::readPreferenceInt("F", 77), INT_MIN);
    EXPECT_FALSE(platform::readPreferenceString("no equals sign").has_value());
    EXPECT_EQ(platform::readPreferenceString("G"), "a=b");
}

TEST_F(PreferenceStore, WritingKeepsLinesItDoesNotOwn) {
    writeRawFile("# kept comment\nOther=1\nSkin=old\nSkin=older duplicate\n");
    platform::writePreferenceString("Skin", "new");
    EXPECT_EQ(readFile(file), "# kept comment\nOther=1\nSkin=new\n");
}

TEST_F(PreferenceStore, RejectsNamesAndValuesThatWouldBreakTheLineFormat) {
    platform::writePreferenceString("A=B", "x");
    platform::writePreferenceString("A\nB", "x");
    platform::writePreferenceString("", "x");
    platform::writePreferenceString("Skin", "two\nlines");
    EXPECT_FALSE(fs::exists(file));
}

// A FIFO in the file's place used to hold the host at its first read, and an endless
// device to fill its memory: now anything but a regular file of at most 64 KB gives the
// defaults at once with one line, and a write leaves it where it is.
TEST_F(PreferenceStore, AnythingButASmallRegularFileIsIgnoredWithOneLine) {
    struct Case {
        const char* what;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
        {"a link to an endless device", [&] { fs::create_symlink("/dev/zero", file); }},
        {"a folder", [&] { fs::create_directory(file); }},
        {"a file over 64 KB", [&] { writeRawFile("OSC Base Port=9000\n" + std::string(70000, '#')); }},
    };
    for (const Case& c : cases) {
        fs::remove_all(makerFolder);
        fs::create_directories(makerFolder);
        c.make();
        const auto before = fs::symlink_status(file).type();
        const ChildOutcome outcome = runInChild(std::chrono::seconds(20), [] {
            if (platform::readPreferenceInt("OSC Base Port", 7000) != 7000) return std::string("not the default");
            if (platform::readPreferenceString("Skin")) return std::string("a skin name was read");
            platform::writePreferenceInt("OSC Base Port", 9001);
            return std::string();
        });
        EXPECT_TRUE(outcome.survived()) << c.what << ": " << outcome.output;
        std::size_t lines = 0;
        for (std::size_t at = outcome.output.find("Error: the preference file"); at != std::string::npos;
             at = outcome.output.find("Error: the preference file", at + 1))
            ++lines;
        EXPECT_EQ(lines, 1u) << c.what << ": " << outcome.output;
        EXPECT_EQ(fs::symlink_status(file).type(), before) << c.what;
    }
}

// Every writer holds the lock across read-modify-write, so no value is lost
// to a writer that read the file before another one renamed its copy in.
TEST_F(PreferenceStore, ConcurrentWritersInThreadsKeepEveryValue) {
    constexpr int kThreads = 4;
    constexpr int kValuesEach = 40;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kValuesEach; ++i)
                platform::writePreferenceInt("t" + std::to_string(t) + "v" + std::to_string(i), t * 1000 + i);
        });
    }
    for (std::thread& writer : writers) writer.join();
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kValuesEach; ++i)
            EXPECT_EQ(platform::readPreferenceInt("t" + std::to_string(t) + "v" + std::to_string(i), -1),
                      t * 1000 + i);
}

TEST_F(PreferenceStore, ConcurrentWritersInProcessesKeepEveryValue) {
    constexpr int kChildren = 3;
    constexpr int kValuesEach = 30;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < kValuesEach; ++i)
                platform::writePreferenceInt("p" + std::to_string(c) + "v" + std::to_string(i), i);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int c = 0; c < kChildren; ++c)
        for (int i = 0; i < kValuesEach; ++i)
            EXPECT_EQ(platform::readPreferenceInt("p" + std::to_string(c) + "v" + std::to_string(i), -1), i);
}

// Readers take no lock; they rely on the file being replaced in one rename.
TEST_F(PreferenceStore, ReadersNeverSeeAHalfWrittenFile) {
    platform::writePreferenceInt("Marker", 42);
    std::thread writer([] {
        for (int i = 0; i < 200; ++i) platform::writePreferenceString("Filler" + std::to_string(i % 7),
                                                                       std::string(200, 'f'));
    });
    int misses = 0;
    for (int i = 0; i < 400; ++i)
        if (platform::readPreferenceInt("Marker", -1) != 42) ++misses;
    writer.join();
    EXPECT_EQ(misses, 0);
}

}  // namespace
