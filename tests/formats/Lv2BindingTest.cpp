// The LV2 binding as hosts call it, good and bad: bin levels as patch parameters, the
// latency port, safe answers to every bad call, and a description that matches the binary.

#include "FormatFixture.h"

#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/port-groups/port-groups.h>
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

// The bundle as a host's lilv reads it, with the LV2 vocabulary installed beside it.
struct Lv2Description {
    Lv2Description()
    {
        lilv_world_load_specifications(world);
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, (std::string(LUMENFOLD_LV2_BUNDLE) + "/").c_str());
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), node(lumenfold::lv2::kPluginUri));
        // lilv reads the plug-in's file, the UI's statements included, on first use.
        if (plugin != nullptr) lilv_plugin_get_num_ports(plugin);
    }
    ~Lv2Description()
    {
        for (LilvNode* made : nodes) lilv_node_free(made);
        lilv_world_free(world);
    }
    const LilvNode* node(const char* uri) { return nodes.emplace_back(lilv_new_uri(world, uri)); }
    bool says(const char* subject, const char* property, const char* object)
    {
        return lilv_world_ask(world, node(subject), node(property), node(object));
    }
    LilvWorld* world = lilv_world_new();
    std::vector<LilvNode*> nodes;
    const LilvPlugin* plugin = nullptr;
};

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

TEST(Lv2Binding, TheDescriptionDeclaresTheInterfacesAndOptionsTheBinaryHas)
{
    Lv2Description description;
    ASSERT_NE(description.plugin, nullptr);
    Lv2Library library;
    ASSERT_TRUE(library.ui);
    const LV2UI_Descriptor* ui = library.ui(0);
    const char* uiUri = lumenfold::lv2::kUiUri;
    // Hosts look for an interface the UI answers among its extension data and, for idle
    // and show, among its features too.
    for (const char* interface : {LV2_UI__idleInterface, LV2_UI__showInterface}) {
        const bool answered = ui->extension_data(interface) != nullptr;
        EXPECT_EQ(description.says(uiUri, LV2_CORE__extensionData, interface), answered) << interface;
        EXPECT_EQ(description.says(uiUri, LV2_CORE__optionalFeature, interface) ||
                      description.says(uiUri, LV2_CORE__requiredFeature, interface),
                  answered)
            << interface;
    }
    // The options feature is taken only together with the options the binding reads.
    const bool takesOptions =
        description.says(lumenfold::lv2::kPluginUri, LV2_CORE__optionalFeature, LV2_OPTIONS__options);
    LilvNodes* supported = lilv_plugin_get_value(description.plugin, description.node(LV2_OPTIONS__supportedOption));
    EXPECT_EQ(takesOptions, lilv_nodes_size(supported) > 0);
    lilv_nodes_free(supported);
}

TEST(Lv2Binding, AudioPairsAreStereoGroupsAndEveryNamedGroupIsDeclared)
{
    Lv2Description description;
    ASSERT_NE(description.plugin, nullptr);
    const char* const channels[] = {LV2_PORT_GROUPS__left, LV2_PORT_GROUPS__right};
    for (std::uint32_t index = 0; index < lilv_plugin_get_num_ports(description.plugin); ++index) {
        const LilvPort* port = lilv_plugin_get_port_by_index(description.plugin, index);
        LilvNode* group = lilv_port_get(description.plugin, port, description.node(LV2_PORT_GROUPS__group));
        const char* groupUri = group ? lilv_node_as_uri(group) : "";
        if (index <= lumenfold::lv2::kAudioOut2) {
            ASSERT_NE(group, nullptr) << index;
            const bool input = index <= lumenfold::lv2::kAudioIn2;
            EXPECT_TRUE(description.says(groupUri, LILV_NS_RDF "type", LV2_PORT_GROUPS__StereoGroup)) << index;
            EXPECT_TRUE(description.says(groupUri, LILV_NS_RDF "type",
                                         input ? LV2_PORT_GROUPS__InputGroup : LV2_PORT_GROUPS__OutputGroup))
                << index;
            LilvNode* designation = lilv_port_get(description.plugin, port, description.node(LV2_CORE__designation));
            EXPECT_TRUE(lilv_node_equals(designation, description.node(channels[index % 2]))) << index;
            lilv_node_free(designation);
        }
        if (group != nullptr) {
            LilvNode* symbol = lilv_world_get(description.world, group, description.node(LV2_CORE__symbol), nullptr);
            EXPECT_NE(symbol, nullptr) << groupUri;
            lilv_node_free(symbol);
        }
        lilv_node_free(group);
    }
}
