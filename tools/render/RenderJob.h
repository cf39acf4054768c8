#pragma once
// One run of lumenfold-render: check every input (audio, MIDI, state, options), load the
// plug-in, restore state, set parameters, then stream the input (or the demo signal)
// through it block by block, with the latency compensated and the MIDI file's messages
// at their samples, into the output. Outputs appear only when everything succeeded.

#include "tools/render/RenderOptions.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lfhost {
class PluginInstance;
struct FramedMidiMessage;
}

namespace lfrender {

class RenderJob {
public:
    explicit RenderJob(RenderOptions options);

    // Throws RenderError with a one-line reason.
    void run();

private:
    struct Source;
    void list();
    [[nodiscard]] std::unique_ptr<lfhost::PluginInstance> loadPlugin(float sampleRate) const;
    void restoreState(lfhost::PluginInstance& plugin, const std::vector<std::uint8_t>& state) const;
    void applyPreset(lfhost::PluginInstance& plugin) const;
    void applyAssignments(lfhost::PluginInstance& plugin) const;
    void requireWorkingSpectralScript(lfhost::PluginInstance& plugin) const;
    [[nodiscard]] std::vector<lfhost::FramedMidiMessage> loadMidi(int sampleRate, long long length) const;
    void renderInto(lfhost::PluginInstance& plugin, Source& source, int fd, int format,
                    const std::vector<lfhost::FramedMidiMessage>& midi) const;

    RenderOptions options_;
};

// Fits one block of plug-in outputs to the channel count of the file, interleaved: a mono
// file gets the mean of the outputs (exactly the signal when both outputs carry the
// same), a stereo file the first two (the only output twice for a mono plug-in).
void interleaveFitted(const float* const* outputs, int outputCount, int frames, int fileChannels,
                      float* interleaved);

// The whole of a state file; throws RenderError naming the file when it cannot be read
// or is empty.
[[nodiscard]] std::vector<std::uint8_t> readStateFile(const std::string& path);

}  // namespace lfrender
