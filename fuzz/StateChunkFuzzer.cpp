// libFuzzer entry: arbitrary bytes as a state chunk into effSetChunk, followed by
// processed blocks, through the plug-in's own dispatcher and process entries. One
// instance lives for the whole run (the built-in scripts included); every input first
// puts the default state back, so inputs do not depend on each other.

#include "plugin/QuanTessamire.h"

#include <cstdint>
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
        void* data = nullptr;
        const auto size = dispatch(effGetChunk, 0, 0, &data, 0.0f);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        defaults_.assign(bytes, bytes + size);
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
        std::vector<std::uint8_t> state = defaults_;
        dispatch(effSetChunk, 0, static_cast<VstIntPtr>(state.size()), state.data(), 0.0f);
        // The plug-in may keep nothing of the host's buffer: a copy of exactly the input.
        std::vector<std::uint8_t> chunk(data, data + size);
        dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.empty() ? nullptr : chunk.data(), 0.0f);
        processBlocks();
        char text[256];
        for (int id : {3, 11, 12, 13, 14}) {
            dispatch(effGetParamDisplay, id, 0, text, 0.0f);
        }
    }

private:
    VstIntPtr dispatch(int opcode, int index, VstIntPtr value, void* ptr, float opt)
    {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }

    void processBlocks()
    {
        float* inputs[2] = {in_[0].data(), in_[1].data()};
        float* outputs[2] = {out_[0].data(), out_[1].data()};
        effect_->processReplacing(effect_, inputs, outputs, kFrames);
        effect_->processReplacing(effect_, inputs, outputs, 7);
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
