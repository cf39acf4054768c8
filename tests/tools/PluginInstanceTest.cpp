// Loading plug-ins and the dispatcher wrappers, against the test gain plug-in.

#include "tests/tools/TestPluginHooks.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

using lfhost::HostOptions;
using lfhost::PluginInstance;

namespace {

std::unique_ptr<PluginInstance> loadGain(HostOptions options = {})
{
    std::string error;
    auto plugin = PluginInstance::create(LFTEST_GAIN_PLUGIN, &error, options);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
}

TEST(PluginLoading, FindsVstPluginMainAndOpensTheInstance)
{
    auto plugin = loadGain();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->effect()->magic, kEffectMagic);
    EXPECT_EQ(plugin->effect()->user, plugin.get());
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numOutputs(), 2);
    EXPECT_EQ(plugin->numParams(), 3);
    EXPECT_EQ(plugin->uniqueId(), fourCharCode('L', 'F', 't', 'g'));
    EXPECT_EQ(plugin->version(), 7);
    EXPECT_EQ(plugin->flags(), effFlagsCanReplacing | effFlagsProgramChunks);
}

TEST(PluginLoading, FallsBackToTheMainEntryPoint)
{
    std::string error;
    auto library = lfhost::PluginLibrary::open(LFTEST_MAIN_ENTRY_PLUGIN, &error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_EQ(library->entryName(), "main");
    auto plugin = PluginInstance::create(LFTEST_MAIN_ENTRY_PLUGIN, &error);
    ASSERT_NE(plugin, nullptr) << error;
    EXPECT_EQ(plugin->effectName(), "Test Gain");
}

TEST(PluginLoading, HostWithoutVersionIsRefusedByThePlugin)
{
    HostOptions options;
    options.hostVersion = 0;
    std::string error;
    EXPECT_EQ(PluginInstance::create(LFTEST_GAIN_PLUGIN, &error, options), nullptr);
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
}

TEST(PluginLoading, MissingFileFailsWithItsPathInTheError)
{
    std::string error;
    EXPECT_EQ(PluginInstance::create("/nonexistent/Nothing.so", &error), nullptr);
    EXPECT_NE(error.find("/nonexistent/Nothing.so"), std::string::npos) << error;
}

TEST(PluginLoading, LibraryWithoutEntryPointFails)
{
    // The C maths library is loaded in every test process and exports no plug-in entry.
    Dl_info maths{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(static_cast<double (*)(double)>(&::cos)), &maths), 0);
    std::string error;
    EXPECT_EQ(PluginInstance::create(maths.dli_fname, &error), nullptr);
    EXPECT_NE(error.find("entry point"), std::string::npos) << error;
}

TEST(PluginLoading, FileThatIsNotALibraryFails)
{
    const auto path = std::filesystem::temp_directory_path() / "lumenfold-not-a-plugin.so";
    std::ofstream(path) << "not an ELF file\n";
    std::string error;
    EXPECT_EQ(PluginInstance::create(path.string(), &error), nullptr);
    EXPECT_FALSE(error.empty());
    std::filesystem::remove(path);
}

TEST(DispatcherWrappers, IdentityTexts)
{
    auto plugin = loadGain();
    EXPECT_EQ(plugin->effectName(), "Test Gain");
    EXPECT_EQ(plugin->vendorString(), "Lumenfold Tests");
    EXPECT_EQ(plugin->productString(), "Test Gain Product");
    EXPECT_EQ(plugin->vendorVersion(), 1234);
    EXPECT_EQ(plugin->vstVersion(), 2400);
    EXPECT_EQ(plugin->programName(), "Test Program");
}

TEST(DispatcherWrappers, CanDoAnswersOnlyWhatThePluginClaims)
{
    auto plugin = loadGain();
    EXPECT_TRUE(plugin->canDo("receiveVstMidiEvent"));
    EXPECT_FALSE(plugin->canDo("sendVstMidiEvent"));
}

TEST(DispatcherWrappers, ParameterTextsAndValues)
{
    auto plugin = loadGain();
    EXPECT_EQ(plugin->parameterName(0), "Gain");
    EXPECT_EQ(plugin->parameterName(1), "Latency");
    EXPECT_EQ(plugin->parameterLabel(1), "samples");
    EXPECT_EQ(plugin->parameterLabel(0), "");
    EXPECT_EQ(plugin->parameterDisplay(0), "1.00");

    plugin->setParameter(0, 0.25f);
    EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.25f);
    EXPECT_EQ(plugin->parameterDisplay(0), "0.50");
    plugin->setParameter(2, 1.0f);
    EXPECT_EQ(plugin->parameterDisplay(2), "Wild");
}

TEST(DispatcherWrappers, ChunkIsACopyThatOutlivesLaterChanges)
{
    auto plugin = loadGain();
    plugin->setParameter(0, 0.75f);
    const std::vector<std::uint8_t> saved = plugin->getChunk();
    ASSERT_EQ(saved.size(), 16u);
    EXPECT_EQ(std::memcmp(saved.data(), "TGch", 4), 0);

    plugin->setParameter(0, 0.1f);
    (void)plugin->getChunk();  // the plug-in rewrites its block: our copy must not follow
    float gain = 0.0f;
    std::memcpy(&gain, saved.data() + 4, sizeof gain);
    EXPECT_FLOAT_EQ(gain, 0.75f);

    EXPECT_EQ(plugin->setChunk(saved.data(), saved.size()), 1);
    EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.75f);
}

TEST(DispatcherWrappers, SetChunkPassesSizeAndReportsRefusal)
{
    auto plugin = loadGain();
    const std::vector<std::uint8_t> saved = plugin->getChunk();
    EXPECT_EQ(plugin->setChunk(saved.data(), saved.size() - 1), 0);
    std::vector<std::uint8_t> wrongTag = saved;
    wrongTag[0] = 'X';
    EXPECT_EQ(plugin->setChunk(wrongTag.data(), wrongTag.size()), 0);
}

TEST(DispatcherWrappers, SampleRateAndBlockSizeReachThePlugin)
{
    auto plugin = loadGain();
    plugin->setSampleRate(96000.0f);
    plugin->setBlockSize(333);
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, kHookHostSampleRate), 96000);
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, kHookHostBlockSize), 333);
    // ...and the host's own answers follow, for plug-ins that ask rather than listen.
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, kHookAskHost, audioMasterGetSampleRate), 96000);
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, kHookAskHost, audioMasterGetBlockSize), 333);
}

TEST(DispatcherWrappers, ProcessReplacingWritesTheOutputBuffers)
{
    auto plugin = loadGain();
    plugin->setParameter(0, 0.25f);  // gain 0.5
    plugin->resume();
    std::vector<float> left = {1.0f, -2.0f, 0.5f, 4.0f};
    std::vector<float> right = {0.0f, 8.0f, -1.0f, 2.0f};
    std::vector<float> outLeft(4, 99.0f);
    std::vector<float> outRight(4, 99.0f);
    float* in[] = {left.data(), right.data()};
    float* out[] = {outLeft.data(), outRight.data()};
    plugin->processReplacing(in, out, 4);
    EXPECT_EQ(outLeft, (std::vector<float>{0.5f, -1.0f, 0.25f, 2.0f}));
    EXPECT_EQ(outRight, (std::vector<float>{0.0f, 4.0f, -0.5f, 1.0f}));
}

}  // namespace
