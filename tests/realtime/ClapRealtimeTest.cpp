// The CLAP binding's process call on the audio thread: host parameter events, MIDI that
// the built-in script turns into parameter changes, and the output events reporting them
// cost no allocation and no lock but the scripting lock.

#include "AudioThreadProbe.h"
#include "tools/host/ClapHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kFrames = 512;
int reported = 0;

std::uint32_t eventCount(const clap_input_events_t* list)
{
    return static_cast<std::uint32_t>(static_cast<std::vector<const clap_event_header_t*>*>(list->ctx)->size());
}
const clap_event_header_t* eventAt(const clap_input_events_t* list, std::uint32_t index)
{
    return (*static_cast<std::vector<const clap_event_header_t*>*>(list->ctx))[index];
}
bool countPush(const clap_output_events_t*, const clap_event_header_t*)
{
    ++reported;
    return true;
}

}  // namespace

TEST(ClapRealtimeSafety, ProcessWithParameterAndMidiEventsAllocatesNothing)
{
    std::string error;
    auto clap = lfhost::ClapPluginHost::load(LUMENFOLD_CLAP_PATH, &error);
    ASSERT_TRUE(clap) << error;
    ASSERT_TRUE(clap->activate(48000.0, kFrames));

    // Everything the host hands over is made before the audio thread is marked.
    std::vector<clap_event_midi_t> midi(4);
    std::vector<clap_event_param_value_t> values(2);
    std::vector<const clap_event_header_t*> list;
    for (std::uint32_t i = 0; i < 4; ++i) {
        midi[i].header = {sizeof(clap_event_midi_t), i * 100, kClapCoreEventSpaceId, CLAP_EVENT_MIDI, 0};
        midi[i].data[0] = 0xB0;
        midi[i].data[1] = 2;  // "Dry Level" through the built-in script
        midi[i].data[2] = static_cast<std::uint8_t>(20 + 30 * i);
    }
    for (std::uint32_t i = 0; i < 2; ++i) {
        values[i].header = {sizeof(clap_event_param_value_t), 50 + 200 * i, kClapCoreEventSpaceId,
                            CLAP_EVENT_PARAM_VALUE, 0};
        values[i].param_id = 32 + 10 * i;
        values[i].value = 0.5;
    }
    list = {&midi[0].header, &values[0].header, &midi[1].header, &midi[2].header, &values[1].header, &midi[3].header};
    const clap_input_events_t in{&list, eventCount, eventAt};
    const clap_output_events_t out{nullptr, countPush};
    std::vector<float> left(kFrames, 0.25f), right(kFrames, -0.25f);
    float* channels[2] = {left.data(), right.data()};
    clap_audio_buffer_t buffer{channels, nullptr, 2, 0, 0};
    clap_process_t process{};
    process.frames_count = kFrames;
    process.audio_inputs = &buffer;
    process.audio_outputs = &buffer;
    process.audio_inputs_count = 1;
    process.audio_outputs_count = 1;
    process.in_events = &in;
    process.out_events = &out;

    for (int warmUp = 0; warmUp < 5; ++warmUp) clap->plugin()->process(clap->plugin(), &process);
    reported = 0;
    AudioThreadProbe probe;
    for (int block = 0; block < 50; ++block) {
        ASSERT_EQ(clap->plugin()->process(clap->plugin(), &process), CLAP_PROCESS_CONTINUE);
    }
    const AudioThreadCounts counts = probe.take();
    EXPECT_EQ(counts.allocations, 0u);
    EXPECT_EQ(counts.frees, 0u);
    EXPECT_EQ(counts.locks, 0u);
    EXPECT_GT(reported, 0) << "the script's changes were reported";
}
