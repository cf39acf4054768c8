// The factory presets in every format: the table itself, then each preset loaded through
// VST programs, CLAP preset-load, the LV2 bundle's presets and the renderer must leave
// exactly the same state block behind.

#include "engine/model/FactoryPresets.h"
#include "engine/vst/VendorQueries.h"
#include "tests/formats/FormatFixture.h"
#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

using Block = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

constexpr int kFirstBinLevel = kBinLevelBase;

// The bin nearest a frequency at an FFT size, at the presets' reference rate.
int binAt(double hz, int fftSize)
{
    return static_cast<int>(std::lround(hz * fftSize / FactoryPresets::kReferenceRate));
}

ProgramValues presetValues(const char* name)
{
    ProgramValues values;
    const int index = FactoryPresets::findByName(name);
    EXPECT_GE(index, 0) << name;
    FactoryPresets::fill(index, 0.0f, values);
    return values;
}

float level(const ProgramValues& values, int bin)
{
    return values.values[static_cast<std::size_t>(kFirstBinLevel + bin)];
}

// Each format, told to load preset `index`, and asked for its state block.
class Loaders {
public:
    Loaders() : vst_(formats::loadVst()), clap_(formats::loadClap()), lv2_(formats::loadLv2())
    {
        for (const auto& [uri, label] : lv2_->presets()) lv2Presets_[label] = uri;
    }

    Block vst(int index)
    {
        vst_->dispatch(effSetProgram, 0, index);
        return vst_->getChunk();
    }
    Block clap(int index)
    {
        EXPECT_TRUE(clap_->loadPreset(FactoryPresets::name(index))) << FactoryPresets::name(index);
        return clap_->saveState();
    }
    Block lv2(int index)
    {
        const auto uri = lv2Presets_.find(FactoryPresets::name(index));
        if (uri == lv2Presets_.end()) {
            ADD_FAILURE() << "no LV2 preset " << FactoryPresets::name(index);
            return {};
        }
        EXPECT_TRUE(lv2_->loadPreset(uri->second));
        // The preset's port values reach the plug-in at the next run: they must agree.
        std::vector<float> silence(64, 0.0f);
        float* io[2] = {silence.data(), silence.data()};
        lv2_->run(io, io, 64);
        return lv2_->saveState();
    }

    lfhost::PluginInstance& vstInstance() { return *vst_; }
    lfhost::ClapPluginHost& clapHost() { return *clap_; }
    const std::map<std::string, std::string>& lv2Presets() const { return lv2Presets_; }

private:
    std::unique_ptr<lfhost::PluginInstance> vst_;
    std::unique_ptr<lfhost::ClapPluginHost> clap_;
    std::unique_ptr<lfhost::Lv2PluginHost> lv2_;
    std::map<std::string, std::string> lv2Presets_;
};

}  // namespace

TEST(FactoryPresetTable, NamesDescriptionsAndValuesAreWhatTheOneDoorKeeps)
{
    ASSERT_GE(FactoryPresets::count(), 17);
    EXPECT_STREQ(FactoryPresets::name(0), "Defaults");
    std::set<std::string> names;
    for (int index = 0; index < FactoryPresets::count(); ++index) {
        const std::string name = FactoryPresets::name(index);
        EXPECT_TRUE(names.insert(name).second) << "two presets named " << name;
        EXPECT_LE(name.size(), 24u) << name;  // hosts show program names in 24 characters
        EXPECT_EQ(FactoryPresets::findByName(name), index);
        EXPECT_GT(std::string(FactoryPresets::description(index)).size(), 20u) << name;
        ProgramValues values;
        FactoryPresets::fill(index, 3.0f, values);
        EXPECT_EQ(std::string(values.name.data()), name);
        for (int id = 0; id < kParameterCount; ++id) {
            ParameterInfo row = parameterInfo(id);
            if (id == ParameterId::ScriptIndex) row.maxValue = 127.0f;
            const float value = values.values[static_cast<std::size_t>(id)];
            const std::optional<float> admitted = admittedPlainValue(row, value);
            ASSERT_TRUE(admitted && steppedPlainValue(row, *admitted) == value) << name << " id " << id;
        }
    }
    EXPECT_EQ(FactoryPresets::findByName("No Such Preset"), -1);
}

TEST(FactoryPresetTable, CurvesSitWhereTheirFrequenciesAre)
{
    // "Telephone Band" at 2048 points: 300 Hz to 3.4 kHz open, the bins beside them closed.
    const ProgramValues phone = presetValues("Telephone Band");
    const int size = fftSizeFromIndex(static_cast<int>(phone.values[ParameterId::FftSize]));
    EXPECT_EQ(size, 2048);
    EXPECT_EQ(level(phone, binAt(1000.0, size)), 1.0f);
    EXPECT_EQ(level(phone, binAt(250.0, size)), 0.0f);
    EXPECT_EQ(level(phone, binAt(4000.0, size)), 0.0f);
    EXPECT_EQ(level(phone, 13), 1.0f);   // 304.7 Hz
    EXPECT_EQ(level(phone, 12), 0.0f);   // 281.3 Hz
    EXPECT_EQ(level(phone, 145), 1.0f);  // 3398 Hz
    EXPECT_EQ(level(phone, 146), 0.0f);  // 3422 Hz

    const ProgramValues odd = presetValues("Odd Bins");
    EXPECT_EQ(level(odd, 7), 1.0f);
    EXPECT_EQ(level(odd, 8), 0.0f);

    const ProgramValues sweep = presetValues("Band-Pass Sweep");
    EXPECT_STREQ(FactoryPresets::scriptName(FactoryPresets::findByName("Band-Pass Sweep")), "Band Pass");
    EXPECT_GT(sweep.values[ParameterId::Scripted3], 0.0f);
}

TEST(FactoryPresetsInFormats, EveryPresetLoadsTheSameBlockInEveryFormat)
{
    Loaders load;
    lfhost::PluginInstance& vst = load.vstInstance();
    ASSERT_EQ(vst.effect()->numPrograms, FactoryPresets::count());
    ASSERT_EQ(load.lv2Presets().size(), static_cast<std::size_t>(FactoryPresets::count() - 1))
        << "the bundle holds every preset but \"Defaults\"";
    // From the last to the first, so that each preset is loaded over another's values.
    for (int index = FactoryPresets::count() - 1; index >= 0; --index) {
        SCOPED_TRACE(FactoryPresets::name(index));
        const Block fromVst = load.vst(index);
        ASSERT_EQ(fromVst.size(), 8500u);
        EXPECT_EQ(vst.programName(), FactoryPresets::name(index));
        EXPECT_EQ(vst.dispatch(effGetProgram), index);
        EXPECT_EQ(load.clap(index), fromVst);
        if (index > 0) {
            EXPECT_EQ(load.lv2(index), fromVst);
        }
    }
}

TEST(FactoryPresetsInFormats, VstListsNamesAndDescriptions)
{
    auto vst = formats::loadVst();
    for (int index = 0; index < FactoryPresets::count(); ++index) {
        char name[64] = {};
        EXPECT_EQ(vst->dispatch(effGetProgramNameIndexed, index, 0, name), 1);
        EXPECT_STREQ(name, FactoryPresets::name(index));
        char description[QN::vendor::kProgramDescriptionSize] = {};
        EXPECT_EQ(vst->dispatch(effVendorSpecific, QN::vendor::kProgramDescription, index, description), 1);
        EXPECT_STREQ(description, FactoryPresets::description(index));
    }
    char untouched[QN::vendor::kProgramDescriptionSize] = "untouched";
    EXPECT_EQ(vst->dispatch(effVendorSpecific, QN::vendor::kProgramDescription, FactoryPresets::count(), untouched), 0);
    EXPECT_EQ(vst->dispatch(effVendorSpecific, QN::vendor::kProgramDescription, -1, untouched), 0);
    EXPECT_STREQ(untouched, "untouched");
    EXPECT_EQ(vst->dispatch(effVendorSpecific, QN::vendor::kProgramDescription, 1, nullptr), 0);
}

// A preset is a sound, not a set-up: the OSC port stays where the user put it. And a host
// that restores a saved state and then selects the saved program number keeps the state.
TEST(FactoryPresetsInFormats, PresetsKeepTheOscPortAndRestoredStatesSurviveAProgramSelection)
{
    auto vst = formats::loadVst();
    const int shiftUp = FactoryPresets::findByName("Shift Up");
    ASSERT_GT(shiftUp, 0);
    const ParameterInfo port = parameterInfo(ParameterId::OscPortOffset);
    vst->setParameter(ParameterId::OscPortOffset, plainToNormalized(port, 7.0f));
    vst->dispatch(effSetProgram, 0, shiftUp);
    EXPECT_EQ(vst->getParameter(ParameterId::OscPortOffset), plainToNormalized(port, 7.0f));

    vst->setParameter(kBinLevelBase + 100, 0.25f);  // the user's own touch on the preset
    const Block saved = vst->getChunk();
    auto restored = formats::loadVst();
    ASSERT_EQ(restored->setChunk(saved.data(), saved.size()), 1);
    restored->dispatch(effSetProgram, 0, shiftUp);
    EXPECT_EQ(restored->getChunk(), saved);
    EXPECT_EQ(restored->programName(), "Shift Up");
}

TEST(FactoryPresetsInFormats, ClapDiscoveryDeclaresEveryPresetInsideThePlugin)
{
    auto clap = formats::loadClap();
    for (const char* factory : {kClapPresetDiscoveryFactoryId, kClapPresetDiscoveryFactoryIdCompat}) {
        SCOPED_TRACE(factory);
        std::string error;
        const auto presets = clap->discoverPresets(factory, &error);
        ASSERT_EQ(presets.size(), static_cast<std::size_t>(FactoryPresets::count())) << error;
        for (int index = 0; index < FactoryPresets::count(); ++index) {
            const auto& preset = presets[static_cast<std::size_t>(index)];
            EXPECT_EQ(preset.locationKind, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN);
            EXPECT_EQ(preset.name, FactoryPresets::name(index));
            EXPECT_EQ(preset.description, FactoryPresets::description(index));
            EXPECT_EQ(preset.pluginId, "clap:com.corvanne.lumenfold");
            EXPECT_EQ(preset.flags, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
            EXPECT_EQ(FactoryPresets::findByName(preset.loadKey), index);
        }
    }
    // A key that names no preset is refused and changes nothing.
    ASSERT_TRUE(clap->loadPreset("Telephone Band"));
    const Block before = clap->saveState();
    EXPECT_FALSE(clap->loadPreset("Telephone Band (copy)"));
    EXPECT_FALSE(clap->loadPreset(""));
    EXPECT_EQ(clap->saveState(), before);
}

TEST(FactoryPresetsInFormats, RendererSelectsAndListsThePrograms)
{
    const std::string folder = (fs::temp_directory_path() / ("lumenfold-presets-" + std::to_string(getpid()))).string();
    fs::create_directories(folder);
    const ToolResult listed = runTool(LUMENFOLD_RENDER_TOOL, {"--list-presets"});
    ASSERT_EQ(listed.exitCode, 0) << listed.out << listed.err;
    for (int index = 0; index < FactoryPresets::count(); ++index) {
        const char* name = FactoryPresets::name(index);
        EXPECT_NE(listed.out.find(name), std::string::npos) << name;
        EXPECT_NE(listed.out.find(FactoryPresets::description(index)), std::string::npos) << name;
    }
    auto vst = formats::loadVst();
    for (const char* name : {"Telephone Band", "Shimmer Blend", "Spectral Gate"}) {
        SCOPED_TRACE(name);
        const std::string state = folder + "/state.bin";
        const ToolResult rendered = runTool(LUMENFOLD_RENDER_TOOL, {"--demo", folder + "/out.wav", "--sample-rate",
                                                                    "48000", "--preset", name, "--save-state", state});
        ASSERT_EQ(rendered.exitCode, 0) << rendered.out << rendered.err;
        std::ifstream file(state, std::ios::binary);
        const Block saved{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        vst->dispatch(effSetProgram, 0, FactoryPresets::findByName(name));
        EXPECT_EQ(saved, vst->getChunk());
    }
    fs::remove_all(folder);
}
