#pragma once
// An X server of one test's own (Xvfb with GLX): a chosen screen size, and one the test
// may end while clients still use it. Ended, if still running, when the object goes.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

class PrivateXServer {
public:
    // size: "WIDTHxHEIGHT". name() is empty when the server did not start.
    explicit PrivateXServer(const std::string& size)
    {
        int channel[2];
        if (::pipe(channel) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            ::close(channel[0]);
            const std::string fd = std::to_string(channel[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", (size + "x24").c_str(), "-nolisten",
                     "tcp", "+extension", "GLX", "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(channel[1]);
        name_ = readDisplayNumber(channel[0]);
        ::close(channel[0]);
    }
    ~PrivateXServer() { end(); }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // ":N", for DISPLAY.
    [[nodiscard]] const std::string& name() const { return name_; }

    // Ends the server at once, as a crash would, and waits until it is gone.
    void end()
    {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

private:
    // Xvfb writes its display number to the descriptor once it accepts connections.
    static std::string readDisplayNumber(int fd)
    {
        std::string number;
        for (;;) {
            pollfd descriptor{fd, POLLIN, 0};
            if (::poll(&descriptor, 1, 20000) <= 0) return {};
            char c = 0;
            const ssize_t got = ::read(fd, &c, 1);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0 || c == '\n') return number.empty() ? number : ":" + number;
            number += c;
        }
    }

    pid_t pid_ = -1;
    std::string name_;
};
