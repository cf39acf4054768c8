// A large session at rest: many instances loaded and resumed, no audio, no editor. Our
// threads must sleep until there is work, and each must carry a name a user can tell
// from the host's. Wake-ups are counted from the kernel's own figures in /proc.

#include "PluginFixture.h"
#include "UdpTestPeer.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

constexpr int kInstances = 32;
constexpr auto kSettle = std::chrono::seconds(1);
constexpr auto kWatched = std::chrono::seconds(3);
constexpr double kAllowedPerSecond = 20.0;

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Voluntary context switches of every thread of this process but the caller (the test,
// which sleeps on purpose).
long long voluntarySwitchesOfOtherThreads()
{
    const std::string me = std::to_string(::syscall(SYS_gettid));
    long long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == me) continue;
        const std::string status = readFile(task.path() / "status");
        const std::size_t at = status.find("\nvoluntary_ctxt_switches:");
        if (at != std::string::npos) total += std::atoll(status.c_str() + status.find(':', at) + 1);
    }
    return total;
}

double processorSeconds()
{
    timespec used{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + 1e-9 * static_cast<double>(used.tv_nsec);
}

// Wake-ups a second over the watched stretch; prints them with the share of one core used.
double wakeUpsPerSecondWhileIdle(const char* what)
{
    std::this_thread::sleep_for(kSettle);
    const long long before = voluntarySwitchesOfOtherThreads();
    const double processorBefore = processorSeconds();
    std::this_thread::sleep_for(kWatched);
    const double seconds = std::chrono::duration<double>(kWatched).count();
    const double rate = static_cast<double>(voluntarySwitchesOfOtherThreads() - before) / seconds;
    std::printf("%d instances, %s: %.1f voluntary context switches a second, %.2f %% of one core\n", kInstances, what,
                rate, 100.0 * (processorSeconds() - processorBefore) / seconds);
    return rate;
}

class IdleCost : public testing::Test {
protected:
    void TearDown() override
    {
        plugins.clear();
        std::error_code ignored;
        std::filesystem::remove_all(dataFolder() / "Scripts", ignored);
        std::filesystem::remove(configFile(), ignored);
    }

    void openAll(bool osc)
    {
        for (int i = 0; i < kInstances; ++i) {
            plugins.push_back(loadPlugin());
            ASSERT_TRUE(plugins.back());
            plugins.back()->resume();
            // "OSC Port Offset" is indexed 0..100; each instance listens on a port of its own.
            if (osc) plugins.back()->setParameter(0, static_cast<float>(i) / 100.0f);
        }
    }

    static std::filesystem::path dataFolder() { return std::string(std::getenv("XDG_DATA_HOME")) + "/Corvanne/Lumenfold"; }
    static std::filesystem::path configFile()
    {
        return std::string(std::getenv("XDG_CONFIG_HOME")) + "/Corvanne/com.corvanne.lumenfold.conf";
    }
    static void writeConfig(const std::string& text)
    {
        std::filesystem::create_directories(configFile().parent_path());
        std::ofstream(configFile()) << text;
    }

    std::vector<std::unique_ptr<lfhost::PluginInstance>> plugins;
};

}  // namespace

TEST_F(IdleCost, ThirtyTwoIdleInstancesSleep)
{
    openAll(false);
    EXPECT_LE(wakeUpsPerSecondWhileIdle("idle"), kAllowedPerSecond);
}

// With OSC listening and a 1 Hz timer in every instance, only the timers' own work wakes
// anything: the timer thread once a tick, and at most once more for what the tick does.
TEST_F(IdleCost, OscAndASlowTimerWakeOnlyForTheirWork)
{
    writeConfig("OSC Base Port=" + std::to_string(UdpTestPeer::freePort()) + "\n");
    std::filesystem::create_directories(dataFolder() / "Scripts");
    std::ofstream(dataFolder() / "Scripts" / "tick.lua") << "ticks = 0\n"
                                                             "requestPeriodicCallback(1, function() ticks = ticks + 1 end)\n";
    openAll(true);
    const double rate = wakeUpsPerSecondWhileIdle("OSC on, a 1 Hz timer each");
    EXPECT_LE(rate, kAllowedPerSecond + 2.0 * kInstances);
    EXPECT_GE(rate, 0.5 * kInstances) << "the timers did not run";
}

// Every thread the instances started is named for what it does, within the kernel's 15
// characters. A thread names itself as it starts, so a busy machine gets a moment.
TEST_F(IdleCost, EveryThreadWeStartCarriesOurName)
{
    writeConfig("OSC Base Port=" + std::to_string(UdpTestPeer::freePort()) + "\n");
    openAll(true);
    const std::string me = std::to_string(::getpid());
    const auto unnamed = [&me] {
        std::vector<std::string> found;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            const std::string name = readFile(task.path() / "comm");
            if (task.path().filename() != me && name.rfind("lf-", 0) != 0) found.push_back(name);
        }
        return found;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!unnamed().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(unnamed(), std::vector<std::string>{});
}
