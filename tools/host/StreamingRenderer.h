#pragma once
// Runs audio of any length through a plug-in instance block by block, the way a host
// bounces a track, holding only one block in memory: the input is pulled from a source
// and the output pushed to a sink as it is made. The plug-in's latency is compensated
// (output frame i lines up with input frame i, and exactly `length` frames are pushed),
// and MIDI messages reach the plug-in in the block of their frame with deltaFrames set
// to their offset in it, so a message at input frame f is heard at output frame f.
//
// Threads: everything on the caller's thread (the render's audio thread).

#include "tools/host/FramedMidiMessage.h"

#include <functional>
#include <vector>

namespace lfhost {

class PluginInstance;

class StreamingRenderer {
public:
    // Fills channels[c][0..frames) for every plug-in input c; returns the frames given,
    // fewer only at the end of the source (the rest is taken as silence).
    using Pull = std::function<int(float* const* channels, int frames)>;
    // Receives channels[c][0..frames) for every plug-in output c.
    using Push = std::function<void(const float* const* channels, int frames)>;
    using Progress = std::function<void(double fraction)>;

    StreamingRenderer(PluginInstance& instance, int blockSize);

    // render's length for a source whose length is known only at its end: the render
    // runs until pull gives fewer frames than asked, and that is the length.
    static constexpr long long kUntilSourceEnds = -1;

    // Suspends the plug-in, sets the block size, resumes it and reads its latency, then
    // renders length frames (or, for kUntilSourceEnds, as many as the source gives).
    // messages must be sorted by frame; those at or after length + latency are not sent.
    // progress is not called for kUntilSourceEnds.
    void render(long long length, const Pull& pull, const Push& push,
                const std::vector<FramedMidiMessage>& messages = {}, const Progress& progress = {});

    [[nodiscard]] int latency() const { return latency_; }
    [[nodiscard]] int numInputs() const { return static_cast<int>(inputs_.size()); }
    [[nodiscard]] int numOutputs() const { return static_cast<int>(outputs_.size()); }

private:
    void prepare();
    int pullBlock(const Pull& pull, long long sourceLeft, int frames);
    std::size_t sendMidiOfBlock(const std::vector<FramedMidiMessage>& messages, std::size_t next, long long start,
                                int frames);
    void pushBlock(const Push& push, long long start, long long length, int frames);

    PluginInstance& instance_;
    int blockSize_;
    int latency_ = 0;
    std::vector<std::vector<float>> inputs_;
    std::vector<std::vector<float>> outputs_;
    std::vector<float*> inputPointers_;
    std::vector<float*> outputPointers_;
    std::vector<const float*> pushPointers_;
};

}  // namespace lfhost
