#pragma once
// A failure that ends a render with one line on standard error, and the exit status it
// ends with (listed in the tool's --help).

#include <stdexcept>
#include <string>

namespace lfrender {

enum class ExitStatus : int {
    Success = 0,
    FileProblem = 1,    // a file could not be read or written, or is not what it should be
    CommandLine = 2,    // an unknown option, a bad number, an unknown parameter or value
    PluginProblem = 3,  // the plug-in could not be loaded or gave nothing to render
    ScriptFailed = 4,   // the selected spectral script failed on every frame it ran
};

class RenderError : public std::runtime_error {
public:
    explicit RenderError(const std::string& message, ExitStatus status = ExitStatus::FileProblem)
        : std::runtime_error(message), status_(status)
    {
    }
    [[nodiscard]] static RenderError commandLine(const std::string& message)
    {
        return RenderError(message, ExitStatus::CommandLine);
    }
    [[nodiscard]] ExitStatus status() const { return status_; }

private:
    ExitStatus status_;
};

}  // namespace lfrender
