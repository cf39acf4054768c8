#pragma once
// Runs a piece of a test in a child process standing in for the host, to show that the
// host survives it and gets control back: the child's standard output and error are
// collected, and a child still running after the time limit is killed and reported as
// hung. The limit is meant to be generous (tens of seconds): it trips on a hang, not on
// a slow machine.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct ChildOutcome {
    bool hung = false;
    bool exitedNormally = false;  // returned from the body, not ended by exit, abort or a signal
    std::string output;           // everything the child wrote, then its failure text if any
    double seconds = 0;

    // For EXPECT_TRUE(outcome.survived()) << outcome.output
    [[nodiscard]] bool survived() const { return !hung && exitedNormally; }
};

// body returns an empty text when its checks hold, else what went wrong.
inline ChildOutcome runInChild(std::chrono::seconds limit, const std::function<std::string()>& body)
{
    constexpr int kBodyReturned = 0, kBodyFailed = 93;
    ChildOutcome outcome;
    int channel[2];
    if (::pipe(channel) != 0) return outcome;
    std::fflush(stdout);
    std::fflush(stderr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        ::dup2(channel[1], STDOUT_FILENO);
        ::dup2(channel[1], STDERR_FILENO);
        ::close(channel[1]);
        const std::string failure = body();
        if (!failure.empty()) std::fprintf(stderr, "\nFAILED IN CHILD: %s\n", failure.c_str());
        std::fflush(nullptr);
        ::_exit(failure.empty() ? kBodyReturned : kBodyFailed);
    }
    ::close(channel[1]);
    if (pid < 0) {
        ::close(channel[0]);
        return outcome;
    }
    // The pipe reaches its end when the child is gone (no one else holds its write end).
    const auto deadline = start + limit;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        pollfd waiting{channel[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) == 0) {
            outcome.hung = true;
            ::kill(pid, SIGKILL);
            break;
        }
        const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
        if (got <= 0) break;
        outcome.output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.exitedNormally = !outcome.hung && WIFEXITED(status) && WEXITSTATUS(status) == kBodyReturned;
    if (!outcome.hung && WIFEXITED(status) && WEXITSTATUS(status) != kBodyReturned &&
        WEXITSTATUS(status) != kBodyFailed) {
        outcome.output += "\n(the child ended with exit code " + std::to_string(WEXITSTATUS(status)) + ")";
    }
    if (WIFSIGNALED(status) && !outcome.hung) {
        outcome.output += "\n(the child was ended by signal " + std::to_string(WTERMSIG(status)) + ")";
    }
    if (outcome.hung) outcome.output += "\n(the child still ran after " + std::to_string(limit.count()) + " s)";
    return outcome;
}
