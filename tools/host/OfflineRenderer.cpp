#include "tools/host/OfflineRenderer.h"

#include "tools/host/PluginInstance.h"

#include <algorithm>
#include <stdexcept>

namespace lfhost {

OfflineRenderer::OfflineRenderer(PluginInstance& instance) : instance_(instance) {}

void OfflineRenderer::prepare(int blockSize)
{
    // The block size may only change while the plug-in is switched off.
    instance_.suspend();
    instance_.setBlockSize(blockSize);
    instance_.resume();
    lastLatency_ = std::max(0, instance_.initialDelay());
    inputBlock_.assign(static_cast<std::size_t>(std::max(0, instance_.numInputs())),
                       std::vector<float>(static_cast<std::size_t>(blockSize), 0.0f));
    outputBlock_.assign(static_cast<std::size_t>(std::max(0, instance_.numOutputs())),
                        std::vector<float>(static_cast<std::size_t>(blockSize), 0.0f));
}

OfflineRenderer::Channels OfflineRenderer::render(const Channels& input, int blockSize,
                                                  const ProgressCallback& progress)
{
    if (input.empty() || input.size() > 2) throw std::invalid_argument("render needs one or two input channels");
    if (blockSize <= 0) throw std::invalid_argument("render needs a positive block size");
    const long long length = static_cast<long long>(input.front().size());
    for (const auto& channel : input)
        if (static_cast<long long>(channel.size()) != length)
            throw std::invalid_argument("input channels differ in length");

    prepare(blockSize);
    const long long latency = lastLatency_;
    const long long total = length + latency;
    Channels output(outputBlock_.size(), std::vector<float>(static_cast<std::size_t>(length), 0.0f));

    std::vector<float*> inputs;
    std::vector<float*> outputs;
    for (auto& channel : inputBlock_) inputs.push_back(channel.data());
    for (auto& channel : outputBlock_) outputs.push_back(channel.data());

    for (long long start = 0; start < total; start += blockSize) {
        const int frames = static_cast<int>(std::min<long long>(blockSize, total - start));
        fillInputBlock(input, start, frames);
        for (auto& channel : outputBlock_) std::fill(channel.begin(), channel.end(), 0.0f);
        instance_.processReplacing(inputs.data(), outputs.data(), frames);
        keepOutputBlock(output, start, frames, latency);
        if (progress) progress(static_cast<double>(start + frames) / static_cast<double>(total));
    }
    return output;
}

void OfflineRenderer::fillInputBlock(const Channels& input, long long start, int frames)
{
    const long long length = static_cast<long long>(input.front().size());
    for (std::size_t c = 0; c < inputBlock_.size(); ++c) {
        const std::vector<float>& source = input[c % input.size()];
        std::vector<float>& block = inputBlock_[c];
        for (int i = 0; i < frames; ++i) {
            const long long frame = start + i;
            // Past the end of the input: silence that pushes the delayed tail out.
            block[static_cast<std::size_t>(i)] = frame < length ? source[static_cast<std::size_t>(frame)] : 0.0f;
        }
    }
}

void OfflineRenderer::keepOutputBlock(Channels& output, long long start, int frames, long long latency)
{
    for (std::size_t c = 0; c < output.size(); ++c) {
        for (int i = 0; i < frames; ++i) {
            const long long frame = start + i - latency;
            if (frame >= 0) output[c][static_cast<std::size_t>(frame)] = outputBlock_[c][static_cast<std::size_t>(i)];
        }
    }
}

}  // namespace lfhost
