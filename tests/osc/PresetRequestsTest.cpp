// Saving and loading user presets from scripts (savePreset, loadPreset) and OSC peers
// (/savePreset, /loadPreset): values go through the instance's door, names stay inside
// the presets folder, a refused file changes nothing.

#include "OscTestInstance.h"
#include "platform/UserFolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

Bytes presetRequest(const char* address, const std::string& name)
{
    return oscMessage(address, [&name](auto& s) { s << name.c_str(); });
}

class PresetRequests : public testing::Test {
protected:
    void writePreset(const std::string& fileName, const std::string& text)
    {
        fs::create_directories(presetsFolder());
        std::ofstream(presetsFolder() + fileName) << text;
    }
    OscTestInstance instance;
};

}  // namespace

TEST_F(PresetRequests, SavedByOscAndLoadedByScriptThroughTheDoor)
{
    instance.plugin.values[ParameterId::InputGain] = -12.0f;
    instance.plugin.values[kBinLevelBase + 9] = 0.0f;
    instance.plugin.values[ParameterId::OscPortOffset] = 3.0f;  // set-up, not sound: never loaded
    EXPECT_EQ(instance.handle(presetRequest("/savePreset", "Quiet")), "");
    ASSERT_TRUE(fs::exists(presetsFolder() + "Quiet.preset"));

    instance.plugin = FakePlugin();
    EXPECT_EQ(instance.run("loadPreset('Quiet.preset')"), "");
    EXPECT_EQ(instance.plugin.values[ParameterId::InputGain], -12.0f);
    EXPECT_EQ(instance.plugin.values[kBinLevelBase + 9], 0.0f);
    EXPECT_EQ(instance.plugin.automation.size(), 2u);  // only the values that changed
    EXPECT_EQ(instance.plugin.values[ParameterId::OscPortOffset], FakePlugin().values[ParameterId::OscPortOffset]);

    instance.plugin = FakePlugin();
    EXPECT_EQ(instance.run("savePreset('Quiet')"), "");
    EXPECT_EQ(instance.handle(presetRequest("/loadPreset", "Quiet")), "");
    EXPECT_TRUE(instance.plugin.automation.empty());  // the defaults, saved over the file
}

TEST_F(PresetRequests, NamesOutsideThePresetsFolderAreRefusedByBoth)
{
    for (const std::string name : {"../escape", "sub/file", "/etc/passwd", "..", ".hidden", "", "a\\b", "tab\tname"}) {
        SCOPED_TRACE(name);
        const std::string quoted = "'" + std::string(name == "a\\b" ? "a\\\\b" : name) + "'";
        EXPECT_NE(instance.handle(presetRequest("/savePreset", name)), "");
        EXPECT_NE(instance.handle(presetRequest("/loadPreset", name)), "");
        EXPECT_NE(instance.run("savePreset(" + quoted + ")").find("savePreset: "), std::string::npos);
        EXPECT_NE(instance.run("loadPreset(" + quoted + ")").find("loadPreset: "), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(presetsFolder()) && !fs::is_empty(presetsFolder()));
    EXPECT_TRUE(instance.plugin.automation.empty());
}

TEST_F(PresetRequests, ARefusedFileChangesNothingAndSkippedLinesAreNamed)
{
    writePreset("broken.preset", "Lumenfold preset 1\nInput Gain = loud\nend\n");
    EXPECT_EQ(instance.handle(presetRequest("/loadPreset", "broken")),
              "error while parsing message: /loadPreset: line 2 skipped (not a value of this parameter): "
              "\"Input Gain = loud\"\n"
              "error while parsing message: /loadPreset: " + presetsFolder() +
                  "broken.preset: none of its value lines could be read\n");
    EXPECT_NE(instance.run("loadPreset('missing')").find("cannot read the file"), std::string::npos);
    EXPECT_TRUE(instance.plugin.automation.empty());

    writePreset("partly.preset", "Lumenfold preset 1\nInput Gain = -3 dB\nBogus = 1\nend\n");
    EXPECT_EQ(instance.run("loadPreset('partly')"), "");
    EXPECT_EQ(instance.plugin.values[ParameterId::InputGain], -3.0f);
    EXPECT_NE(instance.consoleText().find("line 3 skipped"), std::string::npos);
}
