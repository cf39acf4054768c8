#pragma once
// Runs one of our command-line tools as a child process and collects what it printed.

#include <functional>
#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;   // -1 when the tool did not exit by itself
    int endSignal = 0;   // the signal that ended it, else 0
    bool timedOut = false;  // killed (SIGKILL) after ToolLimits::timeoutSeconds
    double seconds = 0.0;   // from start to end
    std::string out;
    std::string err;
};

struct ToolLimits {
    // 0: wait as long as the tool runs; else it is killed with SIGKILL after this long, so
    // that a tool that hangs fails its test instead of hanging it.
    double timeoutSeconds = 0.0;
    // Asked every 5 ms while the tool runs; the first time it answers true the tool gets
    // SIGINT, as from Ctrl+C.
    std::function<bool()> interruptWhen;
};

ToolResult runTool(const std::string& executable, const std::vector<std::string>& args, const ToolLimits& limits = {});
