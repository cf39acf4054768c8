#include "tests/tools/ToolProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string slurpAndRemove(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    std::filesystem::remove(path);
    return text.str();
}

// The child writes to files rather than pipes so that a chatty tool can never block on
// a full pipe while we wait for it.
std::string captureFile(const char* stem)
{
    std::string name = (std::filesystem::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
    const int fd = mkstemp(name.data());
    if (fd >= 0) close(fd);
    return name;
}

// Waits for the child, polling when there is a limit to keep or an interrupt to send.
int waitFor(pid_t pid, const ToolLimits& limits, ToolResult& result)
{
    int status = 0;
    if (limits.timeoutSeconds <= 0.0 && !limits.interruptWhen)
        return waitpid(pid, &status, 0) == pid ? status : -1;
    const auto start = std::chrono::steady_clock::now();
    bool interrupted = false;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return status;
        if (done < 0) return -1;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (limits.timeoutSeconds > 0.0 && elapsed > limits.timeoutSeconds) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            return waitpid(pid, &status, 0) == pid ? status : -1;
        }
        if (limits.interruptWhen && !interrupted && limits.interruptWhen()) {
            interrupted = true;
            kill(pid, SIGINT);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

ToolResult runTool(const std::string& executable, const std::vector<std::string>& args, const ToolLimits& limits)
{
    const std::string outPath = captureFile("lftool-out");
    const std::string errPath = captureFile("lftool-err");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    ToolResult result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
        const int err = open(errPath.c_str(), O_WRONLY | O_TRUNC);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        // As from a terminal, whatever the test runner ignores or blocks.
        sigset_t all;
        sigemptyset(&all);
        sigprocmask(SIG_SETMASK, &all, nullptr);
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, SIG_DFL);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }
    const int status = pid > 0 ? waitFor(pid, limits, result) : -1;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != -1 && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (status != -1 && WIFSIGNALED(status)) result.endSignal = WTERMSIG(status);
    result.out = slurpAndRemove(outPath);
    result.err = slurpAndRemove(errPath);
    return result;
}
