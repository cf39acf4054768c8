// Rendering block by block: the same output as the whole-buffer renderer, and MIDI
// messages delivered in the block of their frame at their offset in it.

#include "tests/tools/TestPluginHooks.h"
#include "tools/host/OfflineRenderer.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/StreamingRenderer.h"

#include <gtest/gtest.h>

#include <array>

namespace {

std::unique_ptr<lfhost::PluginInstance> gainPlugin()
{
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LFTEST_GAIN_PLUGIN, &error);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
}

lfhost::OfflineRenderer::Channels streamed(lfhost::PluginInstance& plugin, const std::vector<float>& input, int block,
                                           const std::vector<lfhost::FramedMidiMessage>& midi = {})
{
    lfhost::StreamingRenderer renderer(plugin, block);
    lfhost::OfflineRenderer::Channels output(2);
    std::size_t position = 0;
    renderer.render(
        static_cast<long long>(input.size()),
        [&](float* const* channels, int frames) {
            const int given = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(frames), input.size() - position));
            for (int c = 0; c < 2; ++c) std::copy_n(input.begin() + static_cast<long>(position), given, channels[c]);
            position += static_cast<std::size_t>(given);
            return given;
        },
        [&](const float* const* channels, int frames) {
            for (int c = 0; c < 2; ++c) output[static_cast<std::size_t>(c)].insert(output[static_cast<std::size_t>(c)].end(), channels[c], channels[c] + frames);
        },
        midi);
    return output;
}

TEST(StreamingRendering, MatchesTheWholeBufferRenderForEveryBlockSize)
{
    std::vector<float> input(1000);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>(i % 97) / 97.0f - 0.5f;
    auto plugin = gainPlugin();
    plugin->setParameter(1, 0.123f);  // 123 samples of latency
    const auto whole = lfhost::OfflineRenderer(*plugin).render({input}, 64);
    for (int block : {1, 100, 123, 4096}) EXPECT_EQ(streamed(*plugin, input, block), whole) << block;
}

TEST(StreamingRendering, MidiArrivesInTheBlockOfItsFrameAtItsOffset)
{
    auto plugin = gainPlugin();
    const std::vector<lfhost::FramedMidiMessage> midi = {
        {0, {0x90, 60, 100}}, {99, {0xb0, 2, 5}}, {100, {0xc0, 3, 0}}, {250, {0x80, 60, 0}}, {400, {0x90, 1, 1}}};
    (void)streamed(*plugin, std::vector<float>(300), 100, midi);
    std::array<char, 4096> log{};
    plugin->dispatch(effVendorSpecific, kHookReadEventLog, static_cast<VstIntPtr>(log.size()), log.data());
    EXPECT_STREQ(log.data(),
                 "type=1 size=32 delta=0 bytes=90 3c 64\n"
                 "type=1 size=32 delta=99 bytes=b0 02 05\n"
                 "type=1 size=32 delta=0 bytes=c0 03 00\n"
                 "type=1 size=32 delta=50 bytes=80 3c 00\n");
}

}  // namespace
