#pragma once
// Runs whole buffers through a plug-in instance in fixed-size blocks, the way a host
// bounces a track: the plug-in's latency is compensated so that output sample i lines up
// with input sample i, and the output has exactly as many frames as the input.
//
// A mono input is fed to every plug-in input; a stereo input feeds input i from channel
// i (a plug-in with more inputs gets the channels in turn). The result has one channel
// per plug-in output.

#include <functional>
#include <vector>

namespace lfhost {

class PluginInstance;

class OfflineRenderer {
public:
    // fraction done, 0..1. Called on: the rendering thread, after every block.
    using ProgressCallback = std::function<void(double fraction)>;
    using Channels = std::vector<std::vector<float>>;

    explicit OfflineRenderer(PluginInstance& instance);

    // Suspends the plug-in, sets the block size, resumes it and reads its latency (which
    // may change on resume), then processes input followed by `latency` frames of silence,
    // dropping the first `latency` output frames. input must have 1 or 2 channels of
    // equal length; blockSize must be positive.
    [[nodiscard]] Channels render(const Channels& input, int blockSize, const ProgressCallback& progress = {});

    // The latency compensated by the last render().
    [[nodiscard]] int lastLatency() const { return lastLatency_; }

private:
    void prepare(int blockSize);
    void fillInputBlock(const Channels& input, long long start, int frames);
    void keepOutputBlock(Channels& output, long long start, int frames, long long latency);

    PluginInstance& instance_;
    Channels inputBlock_;
    Channels outputBlock_;
    int lastLatency_ = 0;
};

}  // namespace lfhost
