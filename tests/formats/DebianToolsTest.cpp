// The bundle and the CLAP file in the tools and hosts Debian ships: the LV2 validators,
// lv2apply against our renderer, jalv headless on jackd's dummy backend, and Qtractor's
// plug-in scanner.

#include "engine/model/FactoryPresets.h"
#include "engine/model/ParameterTable.h"
#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kBundle = LUMENFOLD_LV2_BUNDLE;

// The LV2 vocabulary exactly as lv2_validate hands it to sord_validate: the files its
// script names.
std::vector<std::string> vocabularyFiles()
{
    std::vector<std::string> files;
    std::ifstream script("/usr/bin/lv2_validate");
    std::string line;
    while (std::getline(script, line)) {
        const auto start = line.find("\"$LV2DIR/");
        if (start == std::string::npos) continue;
        const auto end = line.find('"', start + 1);
        files.push_back("/usr/lib/lv2/" + line.substr(start + 9, end - start - 9));
    }
    return files;
}

std::vector<std::string> bundleFiles()
{
    return {kBundle + "/manifest.ttl", kBundle + "/Lumenfold.ttl", kBundle + "/presets.ttl"};
}

std::string toolOutput(const ToolResult& result) { return result.out + result.err; }

void writeFloatWav(const std::string& path, int frames)
{
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        samples[2 * i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
        samples[2 * i + 1] = 0.3f * std::sin(0.011f * static_cast<float>(i));
    }
    sf_writef_float(file, samples.data(), frames);
    sf_close(file);
}

std::vector<float> readWav(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return {};
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

class DebianTools : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("lumenfold-formats-" + std::to_string(getpid()));
        fs::create_directories(folder_ / "lv2");
        fs::create_directories(folder_ / "clap");
        fs::copy(kBundle, folder_ / "lv2" / "Lumenfold.lv2", fs::copy_options::recursive);
        fs::copy_file(LUMENFOLD_CLAP_PATH, folder_ / "clap" / "Lumenfold.clap");
        // Only our plug-ins, wherever the tools look.
        setenv("LV2_PATH", (folder_ / "lv2").c_str(), 1);
        setenv("CLAP_PATH", (folder_ / "clap").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    fs::path folder_;
};

}  // namespace

TEST_F(DebianTools, Lv2ValidateFindsNoErrors)
{
    const ToolResult result = runTool("/usr/bin/lv2_validate", bundleFiles());
    EXPECT_EQ(toolOutput(result).find("error:"), std::string::npos) << toolOutput(result);
    EXPECT_NE(toolOutput(result).find("Found 0 errors"), std::string::npos) << toolOutput(result);
}

TEST_F(DebianTools, SordValidateFindsNoErrors)
{
    std::vector<std::string> files = vocabularyFiles();
    for (const std::string& file : bundleFiles()) files.push_back(file);
    const ToolResult result = runTool("/usr/bin/sord_validate", files);
    ASSERT_GT(files.size(), 20u);
    EXPECT_EQ(toolOutput(result).find("error:"), std::string::npos) << toolOutput(result);
    EXPECT_NE(toolOutput(result).find("Found 0 errors"), std::string::npos) << toolOutput(result);
}

TEST_F(DebianTools, Lv2infoShowsTheClassMaintainerValueNamesAndUnits)
{
    // lv2core's own bundle beside ours, so that lilv knows the plug-in classes.
    fs::create_directory_symlink("/usr/lib/lv2/core.lv2", folder_ / "lv2" / "core.lv2");
    const std::string listing = toolOutput(runTool("/usr/bin/lv2info", {"urn:corvanne:lumenfold"}));
    for (const char* shown : {"Class:             Spectral Plugin", "Author:            Corvanne", "= \"32\"",
                              "= \"4096\"", "= \"-18 dB\""}) {
        EXPECT_NE(listing.find(shown), std::string::npos) << shown << "\n" << listing;
    }
    // The listing leaves units out; lv2info's description of the plug-in (-p) has them as
    // lilv read them: the four dB rows, not the fader rows.
    const ToolResult described = runTool("/usr/bin/lv2info", {"-p", path("described.ttl"), "urn:corvanne:lumenfold"});
    ASSERT_EQ(described.exitCode, 0) << toolOutput(described);
    std::ifstream file(path("described.ttl"));
    const std::string description{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    int decibelPorts = 0;
    for (auto at = description.find("units#db>"); at != std::string::npos; at = description.find("units#db>", at + 1)) {
        ++decibelPorts;
    }
    EXPECT_EQ(decibelPorts, 4);
}

TEST_F(DebianTools, Lv2applyRendersWhatOurRendererRenders)
{
    constexpr int kFrames = 6000;
    constexpr int kLatency = 512;  // "FFT Size" 4
    writeFloatWav(path("in.wav"), kFrames);
    const ToolResult applied = runTool("/usr/bin/lv2apply", {"-i", path("in.wav"), "-o", path("lv2.wav"), "-c",
                                                             "fft_size", "4", "-c", "input_gain", "-6", "-c",
                                                             "dry_level", "0.25", "urn:corvanne:lumenfold"});
    ASSERT_EQ(applied.exitCode, 0) << toolOutput(applied);
    const ToolResult rendered = runTool(LUMENFOLD_RENDER_TOOL, {path("in.wav"), path("vst.wav"), "--set", "FFT Size=512",
                                                                "--set", "Input Gain=-6", "--set", "Dry Level=0.25",
                                                                "--plugin", LUMENFOLD_PLUGIN_PATH});
    ASSERT_EQ(rendered.exitCode, 0) << toolOutput(rendered);
    const std::vector<float> lv2 = readWav(path("lv2.wav"));
    const std::vector<float> vst = readWav(path("vst.wav"));
    ASSERT_EQ(lv2.size(), vst.size());
    // lv2apply keeps the plug-in's delay; our renderer compensates it.
    int differing = 0;
    for (std::size_t i = 0; i + 2 * kLatency < vst.size(); ++i) {
        differing += lv2[i + 2 * kLatency] != vst[i];
    }
    EXPECT_EQ(differing, 0);
}

namespace {

// jalv on jackd's dummy backend, given these console commands (one a line) on its standard
// input: input that ends ends it once it has run them.
ToolResult runJalvOnJackDummy(const std::string& commands)
{
    const std::string server = "lumenfold-test-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    const pid_t jackd = fork();
    if (jackd == 0) {
        execl("/usr/bin/jackd", "jackd", "--no-realtime", "-n", server.c_str(), "-d", "dummy", "-r", "48000", "-p", "512",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    EXPECT_GT(jackd, 0);
    if (jackd <= 0) return {};
    std::this_thread::sleep_for(std::chrono::seconds(2));  // no readiness signal from jackd
    const std::string jalv = "/usr/bin/timeout 20 /usr/bin/jalv -n lumenfold urn:corvanne:lumenfold";
    const std::string fed = "(sleep 2; printf '" + commands + "'; sleep 1) | " + jalv;
    const ToolResult result =
        commands.empty()
            ? runTool("/usr/bin/timeout", {"20", "/usr/bin/jalv", "-n", "lumenfold", "urn:corvanne:lumenfold"})
            : runTool("/bin/sh", {"-c", fed});
    kill(jackd, SIGTERM);
    waitpid(jackd, nullptr, 0);
    return result;
}

}  // namespace

TEST_F(DebianTools, JalvRunsTheBundleHeadlessOnJackDummy)
{
    // jalv reads commands from its standard input: closed input ends it after loading.
    const std::string output = toolOutput(runJalvOnJackDummy(""));
    EXPECT_NE(output.find("Plugin:       urn:corvanne:lumenfold"), std::string::npos) << output;
    // Printed once the instance runs in jackd's process cycle.
    EXPECT_NE(output.find("fft_size = 5.000000"), std::string::npos) << output;
    EXPECT_EQ(output.find("rror"), std::string::npos) << output;
}

TEST_F(DebianTools, JalvAndLv2infoListTheFactoryPresets)
{
    fs::create_directory_symlink("/usr/lib/lv2/core.lv2", folder_ / "lv2" / "core.lv2");
    const std::string listing = toolOutput(runTool("/usr/bin/lv2info", {"urn:corvanne:lumenfold"}));
    const std::string console = toolOutput(runJalvOnJackDummy("presets\\n"));
    for (int index = 1; index < FactoryPresets::count(); ++index) {
        const std::string name = FactoryPresets::name(index);
        EXPECT_NE(listing.find("         " + name + "\n"), std::string::npos) << name << "\n" << listing;
        EXPECT_NE(console.find("(" + name + ")"), std::string::npos) << name << "\n" << console;
    }
}

TEST_F(DebianTools, QtractorScannerListsTheClapPlugin)
{
    const char* scanner = "/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan";
    if (!fs::exists(scanner)) GTEST_SKIP() << "Qtractor's scanner is not installed";
    const ToolResult result = runTool("/usr/bin/timeout", {"60", "/bin/sh", "-c",
                                                           std::string("echo 'CLAP:") + (folder_ / "clap" / "Lumenfold.clap").string() +
                                                               "' | QT_QPA_PLATFORM=offscreen " + scanner});
    // Its line: type, name, audio ins:outs, MIDI ins:outs, parameters:outputs, flags, file.
    const std::string output = toolOutput(result);
    EXPECT_NE(output.find("CLAP|Lumenfold|2:2|1:0|2081:0|"), std::string::npos) << output;
}
