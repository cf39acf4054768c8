// Careless or hostile scripts against the real plug-in: the host process survives and
// every call returns within its budget. The time limits here only trip on a hang.

#include "PluginFixture.h"
#include "UserScriptFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The test's own preference file: the script time limit in seconds.
void setScriptTimeLimit(int seconds)
{
    const std::string folder = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Corvanne";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/com.corvanne.lumenfold.conf") << "Script Time Limit=" << seconds << "\n";
}

void runBlock(lfhost::PluginInstance& plugin)
{
    std::vector<float> in(256), outL(256), outR(256);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    plugin.processReplacing(inputs, outputs, 256);
}

// Standard error into a file for as long as it lives (the console writes it from its
// own thread, so it is read after the instance has closed).
class CapturedStderr {
public:
    CapturedStderr() : path_(std::filesystem::temp_directory_path() / ("lumenfold-stderr-" + std::to_string(getpid())))
    {
        saved_ = ::dup(STDERR_FILENO);
        const int file = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~CapturedStderr()
    {
        restore();
        std::filesystem::remove(path_);
    }
    std::string text()
    {
        restore();
        std::ifstream file(path_);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

private:
    void restore()
    {
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
            saved_ = -1;
        }
    }
    std::filesystem::path path_;
    int saved_ = -1;
};

}  // namespace

TEST(HostSurvival, StartUpScriptsThatHangOrTryToEndTheHostAreStoppedAndTheInstanceStarts)
{
    setScriptTimeLimit(1);
    UserScriptFolder scripts;
    scripts.add("a-loop.lua", "while true do end");
    scripts.add("b-exit.lua", "os.exit(3)");
    scripts.add("c-stdin.lua", "dofile()");
    scripts.add("d-read.lua", "io.read('*l')");
    scripts.add("e-hook.lua", "debug.sethook()");
    scripts.add("f-finalizer.lua", "assert(getmetatable(io.stdout) == 'locked') newproxy(true)");
    CapturedStderr output;
    const auto start = Clock::now();
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_LT(secondsSince(start), 20.0);
    runBlock(*plugin);
    plugin.reset();
    const std::string text = output.text();
    for (const char* expected : {"a-loop.lua:1: script stopped: it ran longer than 1 s",
                                 "os.exit is not available to scripts", "dofile needs a file name",
                                 "io.read is not available to scripts", "debug.sethook is not available to scripts",
                                 "f-finalizer.lua:1: attempt to call global 'newproxy'"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
}

TEST(HostSurvival, ClosingReturnsQuicklyWhateverATimerScriptIsDoing)
{
    setScriptTimeLimit(600);  // only the close may stop these
    const struct {
        const char* what;
        const char* body;
    } cases[] = {
        {"a loop that tries to remove the hook", "pcall(debug.sethook) while true do end"},
        {"a pattern that backtracks for minutes",
         "string.find(string.rep('a', 40), string.rep('a?', 40) .. string.rep('a', 40))"},
        {"a command that keeps the script waiting", "os.execute('sleep 5')"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UserScriptFolder scripts;
        scripts.add("busy.lua", std::string("requestNoteOn(60, function() requestTimedCallback(0.001, function() ") +
                                    c.body + " end) end)");
        auto plugin = loadPlugin();
        ASSERT_TRUE(plugin);
        plugin->sendMidi({{0, {0x90, 60, 100}}});
        runBlock(*plugin);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the timer is inside its script now
        const auto start = Clock::now();
        plugin.reset();
        EXPECT_LT(secondsSince(start), 2.0);
    }
}

TEST(HostSurvival, PrintingNeverWaitsOnABlockedStandardError)
{
    UserScriptFolder scripts;
    scripts.add("chatty.lua", "requestAllCC(function() for i = 1, 2000 do print(string.rep('x', 400)) end end)");
    auto plugin = loadPlugin();
    ASSERT_TRUE(plugin);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(ends[1], STDERR_FILENO);  // nobody reads: the pipe fills after 64 KB
    const auto start = Clock::now();
    plugin->sendMidi({{0, {0xB0, 20, 1}}});
    runBlock(*plugin);
    runBlock(*plugin);
    plugin.reset();
    const double took = secondsSince(start);
    ::dup2(saved, STDERR_FILENO);
    for (int fd : {saved, ends[0], ends[1]}) ::close(fd);
    EXPECT_LT(took, 20.0);
}
