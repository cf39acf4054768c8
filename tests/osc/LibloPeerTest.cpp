// A peer we did not write: liblo's oscsend and oscdump talk to the server.

#include "OscServerFixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <vector>

extern char** environ;

namespace {

// A child process with its standard output in a pipe; ended (by its pid) when it goes.
class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> arguments)
    {
        int ends[2] = {-1, -1};
        if (::pipe(ends) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        output_ = ends[0];
    }
    ~ChildProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(output_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Exit status after it ended by itself; -1 when it could not run.
    int wait()
    {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) {
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Output collected so far, after waiting up to timeoutMs for more.
    const std::string& readOutput(int timeoutMs)
    {
        pollfd ready{output_, POLLIN, 0};
        if (::poll(&ready, 1, timeoutMs) == 1) {
            char buffer[4096];
            const ssize_t size = ::read(output_, buffer, sizeof(buffer));
            if (size > 0) {
                collected_.append(buffer, static_cast<std::size_t>(size));
            }
        }
        return collected_;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string collected_;
};

int oscsend(const std::vector<std::string>& arguments)
{
    std::vector<std::string> command = {"oscsend"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return ChildProcess(command).wait();
}

}  // namespace

TEST_F(OscServerTest, LibloOscsendSetsAParameterAndOscdumpReceivesReplies)
{
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    const std::string port = std::to_string(base + 5);

    ASSERT_EQ(oscsend({"127.0.0.1", port, "/set", "if", "1", "0.5"}), 0);
    EXPECT_TRUE(plugin->waitForCall(0, 1, 3000));
    EXPECT_FLOAT_EQ(plugin->getParameter(1), 0.5f);

    const int dumpPort = UdpTestPeer::freePort();
    ChildProcess dump({"oscdump", "-L", std::to_string(dumpPort)});
    const std::string replyUrl = "osc.udp://127.0.0.1:" + std::to_string(dumpPort);
    // oscdump may not listen yet: ask again until its output shows the reply.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string output;
    while (output.find("/dumped") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(oscsend({"127.0.0.1", port, "/getInfo", "iss", "6", replyUrl, "/dumped"}), 0);
        output = dump.readOutput(100);
    }
    EXPECT_NE(output.find("/dumped ifffsi 6 -180"), std::string::npos) << output;
    EXPECT_NE(output.find("\"View Min dB\" 13"), std::string::npos) << output;
}
