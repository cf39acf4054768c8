#pragma once
// One run of lumenfold-render: load the plug-in, restore state, set parameters, render
// the input (or the demo signal) with the latency compensated, and write the results.
// Outputs appear only when everything succeeded.

#include "tools/render/AudioBuffer.h"
#include "tools/render/RenderOptions.h"

#include <cstdint>
#include <vector>

namespace lfhost {
class PluginInstance;
}

namespace lfrender {

class RenderJob {
public:
    explicit RenderJob(RenderOptions options);

    // Throws RenderError with a one-line reason.
    void run();

private:
    [[nodiscard]] AudioBuffer loadSource() const;
    void restoreState(lfhost::PluginInstance& plugin) const;
    void applyAssignments(lfhost::PluginInstance& plugin) const;
    [[nodiscard]] AudioBuffer render(lfhost::PluginInstance& plugin, const AudioBuffer& source) const;

    RenderOptions options_;
};

// Fits rendered plug-in outputs to the channel count of the file: a mono file gets the
// mean of the outputs (exactly the signal when both outputs carry the same), a stereo
// file the first two (the only output twice for a mono plug-in).
[[nodiscard]] std::vector<std::vector<float>> fitChannels(const std::vector<std::vector<float>>& rendered,
                                                          std::size_t channelCount);

[[nodiscard]] std::vector<std::uint8_t> readStateFile(const std::string& path);

}  // namespace lfrender
