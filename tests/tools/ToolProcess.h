#pragma once
// Runs one of our command-line tools as a child process and collects what it printed.

#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ToolResult runTool(const std::string& executable, const std::vector<std::string>& args);
