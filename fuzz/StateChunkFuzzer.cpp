// libFuzzer entry: arbitrary bytes as a state chunk into effSetChunk, followed by
// processed blocks, through the plug-in's own dispatcher and process entries. Each input
// is tried twice: as it is, and laid over a valid header so that the values and name
// behind it are reached. A refused chunk must leave the state byte-identical, and the
// output after any chunk must be finite. One instance lives for the whole run (the
// built-in scripts included); every input first puts the default state back, so inputs
// do not depend on each other.

#include "engine/instance/QuanTessamire.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class Harness {
public:
    static constexpr int kFrames = 4096;  // long enough for a frame at every FFT size

    Harness() : plugin_(new QuanTessamire(hostCallback)), effect_(plugin_->getAeffect())
    {
        dispatch(effOpen, 0, 0, nullptr, 0.0f);
        dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(effSetBlockSize, 0, kFrames, nullptr, 0.0f);
        dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
        defaults_ = currentState();
        for (int c = 0; c < 2; ++c) {
            in_[c].assign(kFrames, 0.0f);
            out_[c].assign(kFrames, 0.0f);
            for (int i = 0; i < kFrames; ++i) {
                in_[c][static_cast<std::size_t>(i)] = static_cast<float>((i * 37 + c * 11) % 200 - 100) / 200.0f;
            }
        }
    }

    void run(const std::uint8_t* data, std::size_t size)
    {
        // The plug-in may keep nothing of the host's buffer: a copy of exactly the input.
        load(std::vector<std::uint8_t>(data, data + size));
        std::vector<std::uint8_t> behindHeader = defaults_;
        std::memcpy(behindHeader.data() + kNameOffset, data, std::min(size, behindHeader.size() - kNameOffset));
        load(behindHeader);
    }

private:
    static constexpr std::size_t kNameOffset = 12;

    void load(const std::vector<std::uint8_t>& chunk)
    {
        std::vector<std::uint8_t> state = defaults_;
        dispatch(effSetChunk, 0, static_cast<VstIntPtr>(state.size()), state.data(), 0.0f);
        const auto accepted =
            dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.empty() ? nullptr : const_cast<std::uint8_t*>(chunk.data()), 0.0f);
        if (accepted == 0 && currentState() != defaults_) {
            std::fputs("a refused chunk changed the state\n", stderr);
            std::abort();
        }
        processBlocks();
        char text[256];
        for (int id : {3, 11, 12, 13, 14}) {
            dispatch(effGetParamDisplay, id, 0, text, 0.0f);
        }
    }

    std::vector<std::uint8_t> currentState()
    {
        void* data = nullptr;
        const auto size = dispatch(effGetChunk, 0, 0, &data, 0.0f);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        return {bytes, bytes + size};
    }

    VstIntPtr dispatch(int opcode, int index, VstIntPtr value, void* ptr, float opt)
    {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }

    void processBlocks()
    {
        float* inputs[2] = {in_[0].data(), in_[1].data()};
        float* outputs[2] = {out_[0].data(), out_[1].data()};
        for (int frames : {kFrames, 7}) {
            effect_->processReplacing(effect_, inputs, outputs, frames);
            for (const auto& channel : out_) {
                for (int i = 0; i < frames; ++i) {
                    if (!std::isfinite(channel[static_cast<std::size_t>(i)])) {
                        std::fputs("non-finite output after a chunk\n", stderr);
                        std::abort();
                    }
                }
            }
        }
    }

    QuanTessamire* plugin_;  // lives for the whole run, like a host's instance
    AEffect* effect_;
    std::vector<std::uint8_t> defaults_;
    std::vector<float> in_[2];
    std::vector<float> out_[2];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Harness* harness = new Harness();  // lives for the whole run
    harness->run(data, size);
    return 0;
}
