// The preset menu through the plug-in's real ABI, in a skin of the test's own: a factory
// preset chosen from it loads as the host's program change would; Save writes a file into
// the (isolated) presets folder that the menu then lists and loads back; Rename and Delete
// (at the second click) act on it; a bad name is refused and writes nothing.

#include "UserFolderSandbox.h"

#include "engine/model/FactoryPresets.h"
#include "engine/model/ParameterTable.h"
#include "platform/PreferenceStore.h"
#include "platform/UserFolders.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

constexpr int kTimeoutMs = 20000;
// Window pixels from the top-left of the 400 by 320 skin below: its menu, and the panel
// hung under it (rows 16 pixels apart from the first; the buttons' row).
constexpr int kMenuX = 100, kMenuY = 20;
constexpr int kRowX = 140, kFirstRowY = 44, kRowStep = 16;
constexpr int kSaveX = 53, kRenameX = 131, kDeleteX = 209, kButtonY = 263;
constexpr int kPanelEdgeX = 13, kPanelEdgeY = 150;
constexpr int kMarkedBin = kBinLevelBase + 10;

constexpr const char* kSkin = R"(
function getWindowSize() return 400, 320 end
function getFont() return { { name = "DejaVuSans.ttf", size = 12 } } end
function getTextFieldFont() return { { name = "DejaVuSansMono.ttf", size = 10 } } end
function createUI()
    setBackgroundColour(0.1, 0.1, 0.15)
    add(presetMenu(10, 290, 200, 20))
end
)";

class PresetMenuTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(folders.skinResources("Presets") / "gui.lua") << kSkin;
        platform::writePreferenceString("Skin", "Presets");
        std::string error;
        plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
        ASSERT_TRUE(plugin) << error;
        editor = lfhost::EditorHost::open(*plugin, &error);
        ASSERT_TRUE(editor) << error;
        ASSERT_TRUE(editor->pumpUntil([&] { return red(kMenuX, kMenuY) > 150; }, kTimeoutMs)) << "the menu is drawn";
        click(kMenuX, kMenuY);
        // The panel's grey covers the dark background under the menu.
        ASSERT_TRUE(editor->pumpUntil([&] { return red(kPanelEdgeX, kPanelEdgeY) > 100; }, kTimeoutMs));
    }
    int red(int x, int y) { return editor->capture()->pixel(x, y)[0]; }
    void click(int x, int y) { editor->click(x, y); }
    void clickRow(int row) { click(kRowX, kFirstRowY + row * kRowStep); }
    void type(const std::vector<std::string>& keys)
    {
        editor->typeKeys(keys);
        editor->pumpFor(100);
    }
    void erase(int count) { type(std::vector<std::string>(static_cast<std::size_t>(count), "BackSpace")); }
    std::string programName()
    {
        std::array<char, 64> name{};
        plugin->dispatch(effGetProgramName, 0, 0, name.data());
        return name.data();
    }
    static bool saved(const std::string& name) { return fs::exists(presetsFolder() + name + ".preset"); }
    static bool folderIsEmpty() { return !fs::exists(presetsFolder()) || fs::is_empty(presetsFolder()); }

    UserFolderSandbox folders;
    std::unique_ptr<lfhost::PluginInstance> plugin;
    std::unique_ptr<lfhost::EditorHost> editor;
};

TEST_F(PresetMenuTest, ChoosingAFactoryPresetLoadsItAsTheHostsProgramChangeWould)
{
    constexpr int kPreset = 5;  // with no user presets the rows are the programs in order
    clickRow(kPreset);
    std::string error;
    auto reference = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    ASSERT_TRUE(reference) << error;
    reference->dispatch(effSetProgram, 0, kPreset);
    EXPECT_EQ(programName(), FactoryPresets::name(kPreset));
    for (int id = 0; id < kParameterCount; ++id) {
        ASSERT_EQ(plugin->getParameter(id), reference->getParameter(id)) << plugin->parameterName(id);
    }
}

TEST_F(PresetMenuTest, SavesListsLoadsRenamesAndDeletesUserPresetsAndRefusesABadName)
{
    type({"period", "x"});
    click(kSaveX, kButtonY);
    EXPECT_TRUE(folderIsEmpty()) << "a hidden file's name writes nothing";
    editor->pumpFor(200);
    EXPECT_TRUE(editor->capture()->savePng(std::string(LUMENFOLD_ARTIFACT_DIR) + "/editor-preset-menu.png"));
    erase(2);

    plugin->setParameter(kMarkedBin, 0.25f);
    type({"m", "i", "n", "e"});
    click(kSaveX, kButtonY);
    ASSERT_TRUE(saved("mine"));
    EXPECT_EQ(programName(), "mine");

    // The user's presets come first: the saved one is the first row.
    plugin->setParameter(kMarkedBin, 0.75f);
    clickRow(0);
    EXPECT_NEAR(plugin->getParameter(kMarkedBin), 0.25f, 1e-4f);

    erase(4);
    type({"o", "u", "r", "s"});
    click(kRenameX, kButtonY);
    EXPECT_TRUE(saved("ours"));
    EXPECT_FALSE(saved("mine"));

    click(kDeleteX, kButtonY);
    EXPECT_TRUE(saved("ours")) << "the first click only asks";
    click(kDeleteX, kButtonY);
    EXPECT_FALSE(saved("ours"));
}

}  // namespace
