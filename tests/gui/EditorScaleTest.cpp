// The editor's scale from the screen's density and the Zoom preference, with every
// outside value checked.

#include "editor/toolkit/EditorScale.h"

#include <gtest/gtest.h>

namespace {

using QN::EditorScale;

struct ScaleCase {
    const char* what;
    EditorScale::Sources sources;
    float scale;
    std::size_t complaints;
};

TEST(EditorScale, FollowsTheFirstDensitySourceTimesTheZoomAndRefusesHostileValues)
{
    const ScaleCase cases[] = {
        {"nothing set", {"", "", "", 100}, 1.0f, 0},
        {"LUMENFOLD_SCALE", {"1.5", "", "", 100}, 1.5f, 0},
        {"LUMENFOLD_SCALE before GDK_SCALE", {"2", "3", "", 100}, 2.0f, 0},
        {"GDK_SCALE", {"", "2", "", 100}, 2.0f, 0},
        {"Xft.dpi 192", {"", "", "192", 100}, 2.0f, 0},
        {"Xft.dpi 120 rounds to a quarter", {"", "", "120", 100}, 1.25f, 0},
        {"Xft.dpi below 96 stays at 1", {"", "", "72", 100}, 1.0f, 0},
        {"zoom", {"", "", "", 150}, 1.5f, 0},
        {"density times zoom", {"", "2", "", 125}, 2.5f, 0},
        {"at most 4", {"4", "", "", 200}, 4.0f, 0},
        {"LUMENFOLD_SCALE not a number", {"big", "2", "", 100}, 1.0f, 1},
        {"LUMENFOLD_SCALE with trailing text", {"2x", "", "", 100}, 1.0f, 1},
        {"LUMENFOLD_SCALE not finite", {"nan", "", "", 100}, 1.0f, 1},
        {"LUMENFOLD_SCALE huge", {"1e300", "", "", 100}, 1.0f, 1},
        {"LUMENFOLD_SCALE below 1", {"0.1", "", "", 100}, 1.0f, 1},
        {"GDK_SCALE fractional", {"", "1.5", "", 100}, 1.0f, 1},
        {"GDK_SCALE negative", {"", "-2", "", 100}, 1.0f, 1},
        {"Xft.dpi zero", {"", "", "0", 100}, 1.0f, 1},
        {"Xft.dpi text", {"", "", "\x1b[2J", 100}, 1.0f, 1},
        {"zoom not a step", {"", "", "", 175}, 1.0f, 1},
        {"zoom hostile and density fine", {"", "2", "", -5}, 2.0f, 1},
    };
    for (const ScaleCase& c : cases) {
        std::vector<std::string> complaints;
        EXPECT_FLOAT_EQ(EditorScale::resolve(c.sources, &complaints), c.scale) << c.what;
        EXPECT_EQ(complaints.size(), c.complaints) << c.what;
        for (const std::string& line : complaints) {
            EXPECT_EQ(line.find('\x1b'), std::string::npos) << "control characters are not echoed: " << c.what;
        }
    }
}

TEST(EditorScale, KeepsTheScaledWindowWithinTheLargestSide)
{
    EXPECT_FLOAT_EQ(EditorScale::fitted(2.0f, 1024, 512, 4096), 2.0f);
    const float fitted = EditorScale::fitted(4.0f, 3000, 500, 4096);
    EXPECT_LE(EditorScale::scaled(3000, fitted), 4096);
    EXPECT_FLOAT_EQ(EditorScale::fitted(2.0f, 4096, 100, 4096), 1.0f);
    EXPECT_EQ(EditorScale::scaled(1024, 1.25f), 1280);
}

TEST(EditorScale, ZoomStepsCycleAndAnUnknownOneRestarts)
{
    EXPECT_EQ(EditorScale::nextZoom(100), 125);
    EXPECT_EQ(EditorScale::nextZoom(150), 200);
    EXPECT_EQ(EditorScale::nextZoom(200), 100);
    EXPECT_EQ(EditorScale::nextZoom(999), 100);
}

}  // namespace
