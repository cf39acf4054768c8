// The CLAP binding as a host sees it: descriptor, ports, parameters, state, latency and
// the reports of changes made inside the plug-in; every bad call answered safely.

#include "FormatFixture.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace formats;

namespace {

class ClapTest : public testing::Test {
protected:
    void SetUp() override
    {
        clap = loadClap();
        ASSERT_TRUE(clap);
        params = clap->extension<clap_plugin_params_t>(kClapExtParams);
        ASSERT_NE(params, nullptr);
    }
    std::unique_ptr<lfhost::ClapPluginHost> clap;
    const clap_plugin_params_t* params = nullptr;
};

}  // namespace

TEST_F(ClapTest, DescriptorNamesTheEffectWithItsStableIdAndFeatures)
{
    const clap_plugin_descriptor_t* d = clap->plugin()->desc;
    EXPECT_STREQ(d->id, "com.corvanne.lumenfold");
    EXPECT_STREQ(d->name, "Lumenfold");
    EXPECT_STREQ(d->vendor, "Corvanne");
    std::vector<std::string> features;
    for (const char* const* f = d->features; *f; ++f) features.emplace_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "stereo", "analyzer"}));
}

TEST(ClapLibrary, ExportsOnlyTheEntry)
{
    void* library = dlopen(LUMENFOLD_CLAP_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr);
    EXPECT_NE(dlsym(library, "clap_entry"), nullptr);
    EXPECT_EQ(dlsym(library, "VSTPluginMain"), nullptr);
    EXPECT_EQ(dlsym(library, "lua_pcall"), nullptr);
}

TEST_F(ClapTest, StereoInPlacePortsAndOneMidiNotePort)
{
    const auto* audio = clap->extension<clap_plugin_audio_ports_t>(kClapExtAudioPorts);
    const auto* notes = clap->extension<clap_plugin_note_ports_t>(kClapExtNotePorts);
    ASSERT_TRUE(audio && notes);
    for (bool input : {true, false}) {
        clap_audio_port_info_t info{};
        ASSERT_EQ(audio->count(clap->plugin(), input), 1u);
        ASSERT_TRUE(audio->get(clap->plugin(), 0, input, &info));
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_STREQ(info.port_type, "stereo");
        EXPECT_EQ(info.in_place_pair, 0u);
    }
    clap_note_port_info_t note{};
    EXPECT_EQ(notes->count(clap->plugin(), true), 1u);
    EXPECT_EQ(notes->count(clap->plugin(), false), 0u);
    ASSERT_TRUE(notes->get(clap->plugin(), 0, true, &note));
    EXPECT_EQ(note.preferred_dialect, static_cast<std::uint32_t>(CLAP_NOTE_DIALECT_MIDI));
}

TEST_F(ClapTest, ParametersKeepTheirIndicesAsIdsWithModulesAndRanges)
{
    ASSERT_EQ(params->count(clap->plugin()), static_cast<std::uint32_t>(kParameterCount));
    const struct {
        int id;
        const char* name;
        const char* module;
        double min, max;
        bool stepped;
    } rows[] = {
        {ParameterId::InputGain, "Input Gain", "Main", -80, 36, false},
        {ParameterId::FftSize, "FFT Size", "Main", 0, 7, true},
        {ParameterId::ViewSmoothing, "View Smoothing", "View", 0, 2000, false},
        {ParameterId::ScriptPosition, "Script Position", "Script", 0, 1, true},
        {ParameterId::Overlap, "Overlap", "Main", 0, 2, true},
        {kBinLevelBase + 2048, "Bin 2048 Level", "Bins", 0, 1, false},
    };
    for (const auto& row : rows) {
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(clap->plugin(), static_cast<std::uint32_t>(row.id), &info));
        EXPECT_EQ(info.id, static_cast<clap_id>(row.id));
        EXPECT_STREQ(info.name, row.name);
        EXPECT_STREQ(info.module, row.module);
        EXPECT_EQ(info.min_value, row.min);
        EXPECT_EQ(info.max_value, row.max);
        EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, row.stepped) << row.name;
        EXPECT_NE(info.flags & CLAP_PARAM_IS_AUTOMATABLE, 0u);
    }
}

// Hosts store parameters by id, so the unused rows stay in the list, only hidden. The
// published value of the flag (1 << 4 would be the bypass flag).
static_assert(CLAP_PARAM_IS_HIDDEN == 1u << 2);

TEST_F(ClapTest, OnlyTheUnusedDummyRowsAreHidden)
{
    for (std::uint32_t index = 0; index < 40; ++index) {
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(clap->plugin(), index, &info));
        EXPECT_EQ(info.id, index);
        const bool dummy = index >= 20 && index <= 31;
        EXPECT_EQ((info.flags & CLAP_PARAM_IS_HIDDEN) != 0, dummy) << index;
        EXPECT_EQ(info.flags & CLAP_PARAM_IS_BYPASS, 0u) << index;
    }
}

TEST_F(ClapTest, ValueTextsReadBackToTheirValues)
{
    const struct {
        int id;
        double value;
        const char* text;
    } rows[] = {
        {ParameterId::InputGain, -6.0, "-6.000 dB"},
        {ParameterId::InputGain, -80.0, "-inf dB"},
        {ParameterId::FftSize, 6.0, "2048"},
        {ParameterId::Overlap, 1.0, "4x"},
        {ParameterId::ViewXAxis, 1.0, "Linear"},
        {ParameterId::OscPortOffset, 0.0, "Off"},
        {ParameterId::WetLevel, 1.0, "0.000 dB"},
        {ParameterId::DryLevel, 0.0, "-inf dB"},
    };
    for (const auto& row : rows) {
        char text[64];
        ASSERT_TRUE(params->value_to_text(clap->plugin(), row.id, row.value, text, sizeof text));
        EXPECT_STREQ(text, row.text);
        double back = -1;
        ASSERT_TRUE(params->text_to_value(clap->plugin(), row.id, text, &back)) << text;
        EXPECT_EQ(back, row.value) << text;
    }
    double value = 0;
    EXPECT_FALSE(params->text_to_value(clap->plugin(), ParameterId::InputGain, "loud", &value));
    EXPECT_TRUE(params->text_to_value(clap->plugin(), ParameterId::InputGain, "500", &value));
    EXPECT_EQ(value, 36.0);  // clamped into the range
}

// The mix levels show their gain in dB, so what a user types there is dB too.
TEST_F(ClapTest, MixLevelsTakeTypedDecibels)
{
    char text[64];
    ASSERT_TRUE(params->value_to_text(clap->plugin(), ParameterId::DryLevel, 0.5, text, sizeof text));
    EXPECT_STREQ(text, "-18.06 dB");
    const double minus6 = std::pow(10.0, -6.0 / 60.0);
    const struct {
        const char* typed;
        double value;
    } cases[] = {{text, 0.5},      {"-6 dB", minus6}, {"-6dB", minus6},   {" -6 db ", minus6},
                 {"-inf", 0.0},    {"-inf dB", 0.0},  {"0 dB", 1.0},      {"+12 dB", 1.0}};
    for (const auto& c : cases) {
        double value = -1;
        ASSERT_TRUE(params->text_to_value(clap->plugin(), ParameterId::DryLevel, c.typed, &value)) << c.typed;
        EXPECT_NEAR(value, c.value, 1e-4) << c.typed;
    }
    double value = 0;
    EXPECT_FALSE(params->text_to_value(clap->plugin(), ParameterId::DryLevel, "loud dB", &value));
}

TEST_F(ClapTest, HostValuesAreClampedAndNonFiniteOnesRefused)
{
    clap->setParameter(ParameterId::InputGain, 1000.0);
    clap->setParameter(ParameterId::OutputGain, std::nan(""));
    clap->setParameter(99999, 0.5);
    clap->flush();
    EXPECT_EQ(clap->parameter(ParameterId::InputGain), 36.0);
    EXPECT_EQ(clap->parameter(ParameterId::OutputGain), 0.0);
    EXPECT_TRUE(clap->outputEvents().empty());  // host changes are not echoed
}

TEST_F(ClapTest, ScriptChangesReachTheHostAsOutputEvents)
{
    ASSERT_TRUE(clap->activate(kSampleRate, 64));
    std::vector<float> left(64), right(64);
    float* io[2] = {left.data(), right.data()};
    clap->sendMidi(10, 0xB0, 2, 127);  // the built-in script: "Dry Level" to its maximum
    clap->process(io, io, 64);
    ASSERT_EQ(clap->outputEvents().size(), 1u);
    EXPECT_EQ(clap->outputEvents()[0].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_EQ(clap->outputEvents()[0].paramId, static_cast<clap_id>(ParameterId::DryLevel));
    EXPECT_EQ(clap->outputEvents()[0].value, 1.0);
}

TEST_F(ClapTest, LatencyFollowsTheFftSizeOnlyAcrossARestart)
{
    EXPECT_EQ(clap->latency(), 1024u);
    ASSERT_TRUE(clap->activate(kSampleRate, 64));
    std::vector<float> left(64), right(64);
    float* io[2] = {left.data(), right.data()};
    clap->setParameter(ParameterId::FftSize, 2);
    clap->process(io, io, 64);
    EXPECT_EQ(clap->restartRequests(), 1);
    EXPECT_EQ(clap->latency(), 1024u);  // still active: the host keeps what it read
    clap->deactivate();
    ASSERT_TRUE(clap->activate(kSampleRate, 64));
    EXPECT_EQ(clap->latency(), 128u);
    EXPECT_EQ(clap->latencyChanges(), 1);
}

TEST_F(ClapTest, ForeignStatesAreRefusedAndChangeNothing)
{
    const std::vector<std::uint8_t> before = clap->saveState();
    EXPECT_EQ(before.size(), 8500u);
    EXPECT_FALSE(clap->loadState(std::vector<std::uint8_t>(100, 7)));
    EXPECT_FALSE(clap->loadState({}));
    EXPECT_EQ(clap->saveState(), before);
}

TEST_F(ClapTest, BadHostCallsGetSafeAnswers)
{
    const clap_plugin_t* p = clap->plugin();
    clap_plugin_t foreign = *p;
    foreign.plugin_data = nullptr;
    clap_param_info_t info{};
    double value = 0;
    char text[8];
    EXPECT_FALSE(params->get_info(p, kParameterCount, &info));
    EXPECT_FALSE(params->get_info(p, 0, nullptr));
    EXPECT_FALSE(params->get_value(p, kParameterCount, &value));
    EXPECT_FALSE(params->get_value(p, 0, nullptr));
    EXPECT_FALSE(params->value_to_text(p, 0, 0.0, nullptr, 8));
    EXPECT_FALSE(params->value_to_text(p, 0, std::nan(""), text, sizeof text));
    EXPECT_FALSE(params->text_to_value(p, 0, nullptr, &value));
    EXPECT_EQ(params->count(&foreign), 0u);
    EXPECT_EQ(params->count(nullptr), 0u);
    EXPECT_EQ(p->get_extension(p, "no.such.extension"), nullptr);
    EXPECT_EQ(p->get_extension(p, nullptr), nullptr);
    EXPECT_EQ(p->process(p, nullptr), CLAP_PROCESS_ERROR);  // not active
    EXPECT_FALSE(p->activate(p, std::nan(""), 1, 64));
    EXPECT_FALSE(p->activate(p, 48000.0, 64, 1));
    ASSERT_TRUE(clap->activate(kSampleRate, 64));
    EXPECT_EQ(p->process(p, nullptr), CLAP_PROCESS_ERROR);
    clap_process_t empty{};
    empty.frames_count = 64;
    EXPECT_EQ(p->process(p, &empty), CLAP_PROCESS_ERROR);
    const auto* gui = clap->extension<clap_plugin_gui_t>(kClapExtGui);
    ASSERT_NE(gui, nullptr);
    EXPECT_FALSE(gui->create(p, "win32", false));
    EXPECT_FALSE(gui->create(p, "x11", true));
    EXPECT_FALSE(gui->set_parent(p, nullptr));
    const auto* state = clap->extension<clap_plugin_state_t>(kClapExtState);
    EXPECT_FALSE(state->save(p, nullptr));
    EXPECT_FALSE(state->load(p, nullptr));
}

TEST_F(ClapTest, MainThreadCallsFromOtherThreadsAreRefused)
{
    clap->pretendThreads(false, true);
    EXPECT_FALSE(clap->plugin()->activate(clap->plugin(), kSampleRate, 1, 64));
    EXPECT_TRUE(clap->saveState().empty());
    clap_param_info_t info{};
    EXPECT_FALSE(params->get_info(clap->plugin(), 0, &info));
    clap->pretendThreads(true, false);
    ASSERT_TRUE(clap->activate(kSampleRate, 64));
    std::vector<float> left(64), right(64);
    float* io[2] = {left.data(), right.data()};
    EXPECT_EQ(clap->process(io, io, 64), CLAP_PROCESS_ERROR);
}

TEST_F(ClapTest, OfflineRenderingIsAccepted)
{
    const auto* render = clap->extension<clap_plugin_render_t>(kClapExtRender);
    ASSERT_NE(render, nullptr);
    EXPECT_FALSE(render->has_hard_realtime_requirement(clap->plugin()));
    EXPECT_TRUE(render->set(clap->plugin(), CLAP_RENDER_OFFLINE));
    EXPECT_FALSE(render->set(clap->plugin(), 7));
}

TEST(ClapOsc, OscChangesAskTheHostForAFlushAndArriveAsOutputEvents)
{
    // A base port of this process's own, so that parallel runs never share one.
    const int basePort = 30000 + static_cast<int>(getpid() % 20000);
    const std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Corvanne";
    std::filesystem::create_directories(config);
    std::ofstream(config + "/com.corvanne.lumenfold.conf") << "OSC Base Port=" << basePort << "\n";
    auto clap = loadClap();
    ASSERT_TRUE(clap);
    clap->setParameter(ParameterId::OscPortOffset, 1);
    clap->flush();
    const std::string command = "oscsend localhost " + std::to_string(basePort + 1) + " /set if 11 -12.5";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (clap->flushRequests() == 0 && std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // waits for the server; bounded above
    }
    ASSERT_GT(clap->flushRequests(), 0);
    clap->flush();
    ASSERT_FALSE(clap->outputEvents().empty());
    EXPECT_EQ(clap->outputEvents().back().paramId, static_cast<clap_id>(ParameterId::InputGain));
    EXPECT_EQ(clap->outputEvents().back().value, -12.5);
    clap->setParameter(ParameterId::OscPortOffset, 0);
    clap->flush();
}
