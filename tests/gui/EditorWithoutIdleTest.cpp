// A host that never calls the editor's idle: the editor's stand-in thread reads the
// input, the knob's value follows the mouse at once, and the host hears of the edit only
// on its own thread (here: the one that closes the editor), in order.

#include "engine/model/ParameterTable.h"
#include "engine/abi/Vst2Abi.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr int kTimeoutMs = 20000;
// The built-in layout's first knob ("Input Gain"), in window pixels from the top-left.
constexpr int kFirstKnobX = 38, kFirstKnobY = 450;
constexpr int kDragPixels = 80;
// Several of the stand-in's 50 ms rounds.
constexpr auto kStandInRounds = std::chrono::milliseconds(300);

bool isEditReport(int opcode)
{
    return opcode == audioMasterBeginEdit || opcode == audioMasterAutomate || opcode == audioMasterEndEdit ||
           opcode == audioMasterUpdateDisplay;
}

// Waits without any idle call: only the editor's own threads run meanwhile.
bool waitWithoutIdle(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool hasPicture(lfhost::EditorHost& editor)
{
    const auto shot = editor.capture();
    if (!shot) return false;
    std::set<int> colours;
    for (int y = 0; y < shot->height; y += 4) {
        for (int x = 0; x < shot->width; x += 4) {
            const std::uint8_t* p = shot->pixel(x, y);
            colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
        }
    }
    return colours.size() > 50;
}

// Opcodes of the Input Gain knob's begin, automation and end calls, in the order made.
std::vector<int> inputGainEdits(const std::vector<lfhost::HostCall>& calls)
{
    std::vector<int> opcodes;
    for (const auto& call : calls) {
        if (call.opcode != audioMasterUpdateDisplay && isEditReport(call.opcode) &&
            call.index == ParameterId::InputGain) {
            opcodes.push_back(call.opcode);
        }
    }
    return opcodes;
}

// Closing mid-drag (the button still down) must end the begun gesture too.
class EditorWithoutIdle : public testing::TestWithParam<bool> {};

TEST_P(EditorWithoutIdle, KnobEditReachesTheHostOnItsThreadInOrder)
{
    const bool releaseBeforeClose = GetParam();
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    ASSERT_TRUE(plugin) << error;
    auto editor = lfhost::EditorHost::open(*plugin, &error);
    ASSERT_TRUE(editor) << error;
    ASSERT_TRUE(waitWithoutIdle([&] { return hasPicture(*editor); }));
    plugin->clearCalls();
    const float before = plugin->getParameter(ParameterId::InputGain);

    editor->movePointer(kFirstKnobX, kFirstKnobY);
    std::this_thread::sleep_for(kStandInRounds);
    editor->pressButton();
    std::this_thread::sleep_for(kStandInRounds);
    editor->movePointer(kFirstKnobX, kFirstKnobY + kDragPixels);
    // The sound follows the mouse with no idle call.
    EXPECT_TRUE(waitWithoutIdle([&] { return plugin->getParameter(ParameterId::InputGain) != before; }));
    if (releaseBeforeClose) editor->releaseButton();
    std::this_thread::sleep_for(kStandInRounds);
    for (const auto& call : plugin->calls()) {
        EXPECT_FALSE(isEditReport(call.opcode)) << "opcode " << call.opcode << " came from the stand-in";
    }

    editor->closeEditor();
    if (!releaseBeforeClose) editor->releaseButton();
    const std::vector<lfhost::HostCall> calls = plugin->calls();
    for (const auto& call : calls) {
        if (!isEditReport(call.opcode)) continue;
        EXPECT_EQ(call.thread, std::this_thread::get_id()) << "opcode " << call.opcode;
    }
    const std::vector<int> edits = inputGainEdits(calls);
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front(), audioMasterBeginEdit);
    EXPECT_EQ(edits.back(), audioMasterEndEdit);
    for (std::size_t i = 1; i + 1 < edits.size(); ++i) EXPECT_EQ(edits[i], audioMasterAutomate) << "call " << i;
}

INSTANTIATE_TEST_SUITE_P(ReleasedOrClosedMidDrag, EditorWithoutIdle, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Released" : "ClosedMidDrag";
                         });

}  // namespace
