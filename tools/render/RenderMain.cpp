// lumenfold-render: runs an audio file (or a built-in demo signal) through the plug-in.

#include "tools/render/RenderError.h"
#include "tools/render/RenderJob.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/TemporaryOutputFile.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // First, so that no temporary output outlives Ctrl+C.
    lfrender::TemporaryOutputFile::removeTemporariesOnSignals();
    try {
        const lfrender::RenderOptions options =
            lfrender::parseRenderOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.showHelp) {
            std::fputs(lfrender::renderUsage(), stdout);
            return 0;
        }
        lfrender::RenderJob(options).run();
        return 0;
    } catch (const lfrender::RenderError& error) {
        std::fprintf(stderr, "lumenfold-render: %s\n", error.what());
        return static_cast<int>(error.status());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumenfold-render: unexpected failure: %s\n", error.what());
    }
    return static_cast<int>(lfrender::ExitStatus::FileProblem);
}
