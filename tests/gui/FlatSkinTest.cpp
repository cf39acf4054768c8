// The "Flat" skin, carried inside the plug-in: it opens by name with no skin folder,
// without a line of error, at 100 % and 200 % zoom, and its pictures show what makes it
// Flat: the meters' dB marks and the input and output spectra in their own colours. The
// preferences panel offers it after the built-in layout.

#include "AudioFeeder.h"
#include "UserFolderSandbox.h"
#include "support/ChildProcess.h"

#include "editor/toolkit/EditorScale.h"
#include "platform/PreferenceStore.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr auto kHangLimit = std::chrono::seconds(90);
constexpr int kTimeoutMs = 20000;

// The skin's colours as the screen shows them (resources/flat.lua, VectorMeters).
struct Rgb {
    int r, g, b;
};
constexpr Rgb kInputSpectrum{0, 191, 255};
constexpr Rgb kOutputSpectrum{255, 153, 0};
constexpr Rgb kMeterMark{153, 153, 158};
// Marks from 0 dB down to -54 dB, every 6 dB, on each of the four meters.
constexpr int kMarksPerMeter = 10, kMeters = 4, kMeterWidth = 6;
// The meters lie in the window's lowest 100 layout pixels, below the display.
constexpr int kMeterBand = 100;

bool near(const std::uint8_t* p, Rgb colour)
{
    return std::abs(p[0] - colour.r) <= 2 && std::abs(p[1] - colour.g) <= 2 && std::abs(p[2] - colour.b) <= 2;
}

int pixelsOf(const lfhost::Screenshot& shot, Rgb colour, int fromY = 0)
{
    int count = 0;
    for (int y = fromY; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) count += near(shot.pixel(x, y), colour);
    }
    return count;
}

// Marks: runs of rows crossing all four meters in the marks' colour.
int markRows(const lfhost::Screenshot& shot, int fromY, int scale)
{
    int groups = 0;
    bool previous = false;
    for (int y = fromY; y < shot.height; ++y) {
        int inRow = 0;
        for (int x = 0; x < shot.width; ++x) inRow += near(shot.pixel(x, y), kMeterMark);
        const bool row = inRow >= kMeters * kMeterWidth * scale;
        groups += row && !previous;
        previous = row;
    }
    return groups;
}

// Opens the skin as a host does and checks its picture; empty when everything holds.
std::string openAndCheck(int scale)
{
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    if (!plugin) return error;
    auto editor = lfhost::EditorHost::open(*plugin, &error);
    if (!editor) return "the editor did not open: " + error;
    if (editor->width() != 1024 * scale || editor->height() != 512 * scale) return "the window has the wrong size";
    AudioFeeder audio(*plugin);
    std::unique_ptr<lfhost::Screenshot> shot;
    const int bandTop = (512 - kMeterBand) * scale;
    const int marks = kMarksPerMeter * kMeters * kMeterWidth * scale * scale;
    const bool drawn = editor->pumpUntil([&] {
        auto latest = editor->capture();
        if (!latest) return false;
        shot = std::make_unique<lfhost::Screenshot>(std::move(*latest));
        return pixelsOf(*shot, kInputSpectrum) > 300 * scale && pixelsOf(*shot, kOutputSpectrum) > 100 * scale &&
               pixelsOf(*shot, kMeterMark, bandTop) >= marks * 3 / 4;
    }, kTimeoutMs);
    std::string problems;
    if (!drawn && shot) {
        problems = "input spectrum " + std::to_string(pixelsOf(*shot, kInputSpectrum)) + " px, output spectrum " +
                   std::to_string(pixelsOf(*shot, kOutputSpectrum)) + " px, meter marks " +
                   std::to_string(pixelsOf(*shot, kMeterMark, bandTop)) + " px of " + std::to_string(marks);
    } else if (!shot) {
        problems = "nothing was captured";
    } else if (markRows(*shot, bandTop, scale) != kMarksPerMeter) {
        problems = "the meters show " + std::to_string(markRows(*shot, bandTop, scale)) + " scale marks";
    }
    if (shot && !shot->savePng(std::string(LUMENFOLD_ARTIFACT_DIR) + "/editor-flat-skin-" +
                               std::to_string(scale * 100) + ".png")) {
        problems += " (the picture was not saved)";
    }
    editor->closeEditor();
    return problems;
}

class FlatSkin : public testing::TestWithParam<int> {};

TEST_P(FlatSkin, OpensWithoutAnErrorAndDrawsMeterMarksAndBothSpectra)
{
    const int scale = GetParam();
    UserFolderSandbox folders;  // no skin folder at all: the skin comes with the plug-in
    platform::writePreferenceString("Skin", "Flat");
    platform::writePreferenceInt(QN::EditorScale::kZoomPreference, 100 * scale);
    const ChildOutcome outcome = runInChild(kHangLimit, [&] {
        setenv("LUMENFOLD_SCALE", "1", 1);
        return openAndCheck(scale);
    });
    EXPECT_TRUE(outcome.survived()) << outcome.output;
    for (const char* complaint : {"Error", "createUI:", "failed to run buffer", "built-in layout"}) {
        EXPECT_EQ(outcome.output.find(complaint), std::string::npos) << outcome.output;
    }
}

INSTANTIATE_TEST_SUITE_P(AtZoom, FlatSkin, testing::Values(1, 2),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param * 100); });

// Clicking the preferences' skin row takes the next skin: the installed "Flat" comes
// right after the built-in layout, the user's own skins after it.
TEST(FlatSkinPreference, TheSkinRowStepsFromTheBuiltInLayoutToFlatThenToTheUsersSkin)
{
    constexpr int kPrefsX = 55, kButtonRowY = 52;  // the built-in layout's "Prefs" button
    constexpr int kSkinRowX = 450, kSkinRowY = 399;
    UserFolderSandbox folders;
    std::ofstream(folders.skinResources("Mine") / "gui.lua") << "function createUI() end\n";
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    ASSERT_TRUE(plugin) << error;
    auto editor = lfhost::EditorHost::open(*plugin, &error);
    ASSERT_TRUE(editor) << error;
    editor->pumpFor(300);
    const auto click = [&](int x, int y) { editor->click(x, y); };
    click(kPrefsX, kButtonRowY);
    click(kSkinRowX, kSkinRowY);
    EXPECT_EQ(platform::readPreferenceString("Skin").value_or(""), "Flat");
    click(kSkinRowX, kSkinRowY);
    EXPECT_EQ(platform::readPreferenceString("Skin").value_or(""), "Mine");
    click(kSkinRowX, kSkinRowY);
    EXPECT_EQ(platform::readPreferenceString("Skin").value_or("(none)"), "");
    editor->closeEditor();
}

}  // namespace
