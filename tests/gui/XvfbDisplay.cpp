#include "XvfbDisplay.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kStartTimeoutMs = 20000;

// Xvfb writes its display number to the descriptor once it accepts connections.
std::string readDisplayNumber(int fd)
{
    std::string number;
    for (;;) {
        pollfd descriptor{fd, POLLIN, 0};
        if (poll(&descriptor, 1, kStartTimeoutMs) <= 0) return {};
        char c = 0;
        const ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || c == '\n') return number;
        number += c;
    }
}

}  // namespace

void XvfbDisplay::SetUp()
{
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
        // The server ends with the test process, however that ends, and never holds the
        // test runner's output open.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            dup2(quiet, STDOUT_FILENO);
            dup2(quiet, STDERR_FILENO);
        }
        close(pipeFds[0]);
        const std::string fd = std::to_string(pipeFds[1]);
        // Room for the default layout at 200 % (2048 x 1024) beside another window.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "2560x1280x24", "-nolisten", "tcp",
               "+extension", "GLX", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    const std::string number = readDisplayNumber(pipeFds[0]);
    close(pipeFds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start (is the xvfb package installed?)";
    setenv("DISPLAY", (":" + number).c_str(), 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
}

void XvfbDisplay::TearDown()
{
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

// Registered before main runs, so that test discovery also gets a display.
static testing::Environment* const xvfb = testing::AddGlobalTestEnvironment(new XvfbDisplay);
