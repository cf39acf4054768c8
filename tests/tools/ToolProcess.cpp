#include "tests/tools/ToolProcess.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

}  // namespace

ToolResult runTool(const std::string& executable, const std::vector<std::string>& args)
{
    const std::string outPath = captureFile("lftool-out");
    const std::string errPath = captureFile("lftool-err");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    ToolResult result;
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
        const int err = open(errPath.c_str(), O_WRONLY | O_TRUNC);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    result.out = slurpAndRemove(outPath);
    result.err = slurpAndRemove(errPath);
    return result;
}
