// The LV2 binding as hosts call it, good and bad: bin levels as patch parameters, the
// latency port, and safe answers to every bad call.

#include "FormatFixture.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>

#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <unistd.h>

using namespace formats;

namespace {

struct Lv2Library {
    Lv2Library()
    {
        handle = dlopen((std::string(LUMENFOLD_LV2_BUNDLE) + "/Lumenfold.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(handle, nullptr) << dlerror();
        plugin = reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle, "lv2_descriptor"));
        ui = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(handle, "lv2ui_descriptor"));
    }
    void* handle = nullptr;
    LV2_Descriptor_Function plugin = nullptr;
    LV2UI_DescriptorFunction ui = nullptr;
};

// A notify port with room for a few patch:Set events per run, as some hosts give.
constexpr std::uint32_t kSmallNotifyBytes = 300;

// Runs until the host has heard a value of every bin (or gives up after enough runs for
// a few events per run) and returns what it heard; every run's sequence must be whole.
std::map<std::string, float> binValuesHeard(lfhost::Lv2PluginHost& lv2)
{
    std::vector<float> left(64), right(64);
    float* io[2] = {left.data(), right.data()};
    for (int run = 0; run < kBinCount && lv2.properties().size() < static_cast<std::size_t>(kBinCount); ++run) {
        lv2.run(io, io, 64);
        EXPECT_TRUE(lv2.notifyWellFormed());
    }
    return lv2.properties();
}

void expectBinValues(const std::map<std::string, float>& heard, const std::map<int, float>& set)
{
    ASSERT_EQ(heard.size(), static_cast<std::size_t>(kBinCount));
    for (int id = kBinLevelBase; id < kParameterCount; ++id) {
        const auto found = heard.find(binUri(id));
        ASSERT_NE(found, heard.end()) << binUri(id);
        EXPECT_EQ(found->second, set.count(id) ? set.at(id) : 1.0f) << binUri(id);
    }
}

}  // namespace

TEST(Lv2Binding, APatchGetWithoutPropertyIsAnsweredWithEveryBinAcrossRuns)
{
    auto lv2 = loadLv2();
    ASSERT_TRUE(lv2);
    lv2->setProperty(binUri(kBinLevelBase + 7), 0.25f);
    lv2->setProperty(binUri(kParameterCount - 1), 0.0f);
    lv2->setNotifyCapacity(kSmallNotifyBytes);
    std::vector<float> left(64), right(64);
    float* io[2] = {left.data(), right.data()};
    lv2->run(io, io, 64);
    lv2->forgetProperties();
    lv2->requestAllProperties();
    lv2->run(io, io, 64);
    EXPECT_FALSE(lv2->notifications().empty());
    EXPECT_LT(lv2->notifications().size(), static_cast<std::size_t>(kBinCount));
    expectBinValues(binValuesHeard(*lv2), {{kBinLevelBase + 7, 0.25f}, {kParameterCount - 1, 0.0f}});
}

TEST(Lv2Binding, ARestoredStateSendsEveryBinValue)
{
    auto saved = loadLv2();
    ASSERT_TRUE(saved);
    saved->setProperty(binUri(kBinLevelBase + 12), 0.5f);
    std::vector<float> left(64), right(64);
    float* io[2] = {left.data(), right.data()};
    saved->run(io, io, 64);
    const std::vector<std::uint8_t> state = saved->saveState();

    auto restored = loadLv2();
    ASSERT_TRUE(restored);
    restored->setNotifyCapacity(kSmallNotifyBytes);
    restored->run(io, io, 64);
    EXPECT_TRUE(restored->properties().empty());
    ASSERT_TRUE(restored->restoreState(state));
    expectBinValues(binValuesHeard(*restored), {{kBinLevelBase + 12, 0.5f}});
}

TEST(Lv2Binding, BinLevelsArePatchParametersAndTheLatencyIsAPort)
{
    auto lv2 = loadLv2();
    ASSERT_TRUE(lv2);
    std::vector<float> left(64), right(64);
    float* io[2] = {left.data(), right.data()};
    lv2->setProperty(binUri(kBinLevelBase + 7), 0.25f);
    lv2->setControl("fft_size", 2);
    EXPECT_TRUE(lv2->setControl("overlap", 2));
    lv2->run(io, io, 64);
    EXPECT_EQ(lv2->latency(), 128.0f) << "the latency is N at every overlap";
    const std::vector<std::uint8_t> state = lv2->saveState();
    ASSERT_EQ(state.size(), 8500u);
    auto clap = loadClap();
    ASSERT_TRUE(clap->loadState(state));
    EXPECT_EQ(clap->parameter(kBinLevelBase + 7), 0.25);
    EXPECT_EQ(clap->parameter(ParameterId::FftSize), 2.0);
    EXPECT_EQ(clap->parameter(ParameterId::Overlap), 2.0);
}

TEST(Lv2Binding, BadHostCallsGetSafeAnswers)
{
    Lv2Library library;
    ASSERT_TRUE(library.plugin && library.ui);
    const LV2_Descriptor* descriptor = library.plugin(0);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_STREQ(descriptor->URI, lumenfold::lv2::kPluginUri);
    EXPECT_EQ(library.plugin(1), nullptr);
    EXPECT_EQ(descriptor->instantiate(descriptor, -1.0, "", nullptr), nullptr);
    EXPECT_EQ(descriptor->extension_data("urn:no-such-extension"), nullptr);
    EXPECT_EQ(descriptor->extension_data(nullptr), nullptr);

    // No features at all: it still runs (hosts such as lv2apply offer none).
    LV2_Handle instance = descriptor->instantiate(descriptor, 48000.0, "", nullptr);
    ASSERT_NE(instance, nullptr);
    descriptor->connect_port(instance, 9999, nullptr);
    descriptor->activate(instance);
    descriptor->run(instance, 64);  // nothing connected: nothing done
    const auto* state = static_cast<const LV2_State_Interface*>(descriptor->extension_data(LV2_STATE__interface));
    ASSERT_NE(state, nullptr);
    static const std::uint8_t bytes[8500] = {};
    const LV2_State_Retrieve_Function wrongType = [](LV2_State_Handle, std::uint32_t, std::size_t* size,
                                                     std::uint32_t* type, std::uint32_t*) -> const void* {
        *size = sizeof bytes;
        *type = 0;
        return bytes;
    };
    EXPECT_NE(state->restore(instance, wrongType, nullptr, 0, nullptr), LV2_STATE_SUCCESS);
    EXPECT_NE(state->restore(instance, nullptr, nullptr, 0, nullptr), LV2_STATE_SUCCESS);
    EXPECT_NE(state->save(instance, nullptr, nullptr, 0, nullptr), LV2_STATE_SUCCESS);
    EXPECT_NE(state->save(nullptr, nullptr, nullptr, 0, nullptr), LV2_STATE_SUCCESS);
    descriptor->deactivate(instance);
    descriptor->cleanup(instance);
    descriptor->run(nullptr, 64);
    descriptor->cleanup(nullptr);

    const LV2UI_Descriptor* ui = library.ui(0);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(library.ui(1), nullptr);
    LV2UI_Widget widget = nullptr;
    // Without a parent window and the instance the editor cannot open.
    EXPECT_EQ(ui->instantiate(ui, lumenfold::lv2::kPluginUri, "", nullptr, nullptr, &widget, nullptr), nullptr);
    EXPECT_EQ(ui->instantiate(ui, "urn:someone-else", "", nullptr, nullptr, &widget, nullptr), nullptr);
    EXPECT_EQ(ui->extension_data(LV2_UI__idleInterface) != nullptr, true);
}

TEST(Lv2Binding, BinLevelsChangedInsideArriveAsPatchSetOnTheNotifyPort)
{
    // A base port of this process's own, so that parallel runs never share one.
    const int basePort = 30000 + static_cast<int>(getpid() % 20000);
    const std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Corvanne";
    std::filesystem::create_directories(config);
    std::ofstream(config + "/com.corvanne.lumenfold.conf") << "OSC Base Port=" << basePort << "\n";
    auto lv2 = loadLv2();
    ASSERT_TRUE(lv2);
    std::vector<float> left(64), right(64);
    float* io[2] = {left.data(), right.data()};
    lv2->setControl("osc_port_offset", 2);
    lv2->run(io, io, 64);
    const std::string command = "oscsend localhost " + std::to_string(basePort + 2) + " /set if 40 0.5";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (lv2->notifications().empty() && std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // waits for the server; bounded above
        lv2->run(io, io, 64);
    }
    ASSERT_FALSE(lv2->notifications().empty());
    EXPECT_EQ(lv2->notifications().back(), std::make_pair(binUri(40), 0.5f));
    lv2->setControl("osc_port_offset", 0);
    lv2->run(io, io, 64);
}
