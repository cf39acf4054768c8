// Every complete skin in docs/skins.md (a ```lua block after a "<!-- complete skin: Name"
// line), copied as it stands, opens in a child process standing in for the host without a
// line of error, as itself rather than the built-in layout, and a skin with a display shows
// the display's grid labels. The "Console" example used to show its display bare: it names
// no label font.

#include "UserFolderSandbox.h"
#include "support/ChildProcess.h"

#include "platform/PreferenceStore.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr auto kHangLimit = std::chrono::seconds(60);
constexpr int kDrawTimeoutMs = 20000;
constexpr const char* kMarker = "<!-- complete skin: ";

struct DocumentedSkin {
    std::string name;
    std::string script;
};

std::vector<DocumentedSkin> documentedSkins()
{
    std::ifstream docs(std::string(LUMENFOLD_SOURCE_DIR) + "/docs/skins.md");
    std::vector<DocumentedSkin> skins;
    std::string line;
    while (std::getline(docs, line)) {
        if (line.rfind(kMarker, 0) != 0) continue;
        std::istringstream rest(line.substr(std::string(kMarker).size()));
        DocumentedSkin skin;
        rest >> skin.name;
        if (!std::getline(docs, line) || line != "```lua") break;  // leaves the list short: the test says so
        while (std::getline(docs, line) && line != "```") skin.script += line + "\n";
        skins.push_back(std::move(skin));
    }
    return skins;
}

// Pixels in the grid labels' default colour (0.8, 0.78, 0.82); labels are drawn opaque.
int gridLabelPixels(const lfhost::Screenshot& shot)
{
    int count = 0;
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const std::uint8_t* p = shot.pixel(x, y);
            count += std::abs(p[0] - 204) <= 3 && std::abs(p[1] - 199) <= 3 && std::abs(p[2] - 209) <= 3;
        }
    }
    return count;
}

std::string openAsHost(const DocumentedSkin& skin)
{
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    if (!plugin) return error;
    auto editor = lfhost::EditorHost::open(*plugin, &error);
    if (!editor) return "the editor did not open: " + error;
    const bool hasDisplay = skin.script.find("waveformDisplay(") != std::string::npos;
    const bool drawn = editor->pumpUntil([&] {
        const auto shot = editor->capture();
        return shot && (!hasDisplay || gridLabelPixels(*shot) > 50);
    }, kDrawTimeoutMs);
    editor->closeEditor();
    return drawn ? "" : "the display's grid labels were not drawn";
}

TEST(DocumentedSkins, EveryCompleteSkinOfTheGuideOpensAsWrittenWithoutAnError)
{
    const std::vector<DocumentedSkin> skins = documentedSkins();
    ASSERT_FALSE(skins.empty()) << "no marked example found in docs/skins.md";
    for (const DocumentedSkin& skin : skins) {
        SCOPED_TRACE(skin.name);
        UserFolderSandbox folders;
        std::ofstream(folders.skinResources(skin.name) / "gui.lua") << skin.script;
        platform::writePreferenceString("Skin", skin.name);
        const ChildOutcome outcome = runInChild(kHangLimit, [&] { return openAsHost(skin); });
        EXPECT_TRUE(outcome.survived()) << outcome.output;
        for (const char* complaint : {"Error", "createUI:", "failed to run buffer", "built-in layout"}) {
            EXPECT_EQ(outcome.output.find(complaint), std::string::npos) << outcome.output;
        }
    }
}

}  // namespace
