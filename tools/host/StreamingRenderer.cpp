#include "tools/host/StreamingRenderer.h"

#include "tools/host/MidiMessage.h"
#include "tools/host/PluginInstance.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace lfhost {

StreamingRenderer::StreamingRenderer(PluginInstance& instance, int blockSize)
    : instance_(instance), blockSize_(blockSize)
{
    if (blockSize <= 0) throw std::invalid_argument("render needs a positive block size");
}

void StreamingRenderer::prepare()
{
    // The block size may only change while the plug-in is switched off.
    instance_.suspend();
    instance_.setBlockSize(blockSize_);
    instance_.resume();
    latency_ = std::max(0, instance_.initialDelay());
    const auto block = static_cast<std::size_t>(blockSize_);
    inputs_.assign(static_cast<std::size_t>(std::max(0, instance_.numInputs())), std::vector<float>(block, 0.0f));
    outputs_.assign(static_cast<std::size_t>(std::max(0, instance_.numOutputs())), std::vector<float>(block, 0.0f));
    inputPointers_.clear();
    outputPointers_.clear();
    pushPointers_.assign(outputs_.size(), nullptr);
    for (auto& channel : inputs_) inputPointers_.push_back(channel.data());
    for (auto& channel : outputs_) outputPointers_.push_back(channel.data());
}

void StreamingRenderer::render(long long length, const Pull& pull, const Push& push,
                               const std::vector<FramedMidiMessage>& messages, const Progress& progress)
{
    prepare();
    const bool untilEnd = length < 0;
    // Until the source ends its length is taken as the largest that leaves room for the tail.
    long long known = untilEnd ? std::numeric_limits<long long>::max() - latency_ : length;
    std::size_t nextMessage = 0;
    long long pulled = 0;
    for (long long start = 0; start < known + latency_; start += blockSize_) {
        const int frames = static_cast<int>(std::min<long long>(blockSize_, known + latency_ - start));
        const long long sourceLeft = known - pulled;
        const int given = pullBlock(pull, sourceLeft, frames);
        pulled += given;
        if (untilEnd && given < std::min<long long>(frames, sourceLeft)) known = pulled;
        nextMessage = sendMidiOfBlock(messages, nextMessage, start, frames);
        for (auto& channel : outputs_) std::fill(channel.begin(), channel.end(), 0.0f);
        instance_.processReplacing(inputPointers_.data(), outputPointers_.data(), frames);
        pushBlock(push, start, known, frames);
        if (progress && !untilEnd) progress(static_cast<double>(start + frames) / static_cast<double>(known + latency_));
    }
}

int StreamingRenderer::pullBlock(const Pull& pull, long long sourceLeft, int frames)
{
    const int wanted = static_cast<int>(std::min<long long>(frames, std::max(0LL, sourceLeft)));
    const int given = wanted > 0 ? std::clamp(pull(inputPointers_.data(), wanted), 0, wanted) : 0;
    // Past the end of the source: silence that pushes the delayed tail out.
    for (auto& channel : inputs_) std::fill(channel.begin() + given, channel.end(), 0.0f);
    return given;
}

std::size_t StreamingRenderer::sendMidiOfBlock(const std::vector<FramedMidiMessage>& messages, std::size_t next,
                                               long long start, int frames)
{
    std::vector<MidiMessage> block;
    while (next < messages.size() && messages[next].frame < start + frames) {
        const FramedMidiMessage& message = messages[next++];
        if (message.frame < start) continue;  // unsorted or negative: never sent late
        MidiMessage midi;
        midi.deltaFrames = static_cast<int>(message.frame - start);
        std::copy(std::begin(message.bytes), std::end(message.bytes), std::begin(midi.bytes));
        block.push_back(midi);
    }
    if (!block.empty()) instance_.sendMidi(block);
    return next;
}

void StreamingRenderer::pushBlock(const Push& push, long long start, long long length, int frames)
{
    // Output frame start + i is input frame start + i - latency.
    const long long first = std::max(start, static_cast<long long>(latency_));
    const long long end = std::min(start + frames, length + latency_);
    if (end <= first) return;
    const auto skip = static_cast<std::size_t>(first - start);
    for (std::size_t c = 0; c < outputs_.size(); ++c) pushPointers_[c] = outputs_[c].data() + skip;
    push(pushPointers_.data(), static_cast<int>(end - first));
}

}  // namespace lfhost
